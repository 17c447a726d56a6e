#include "memory_form_runtime.h"

namespace tessivo::testing {

namespace {

template <typename Map>
auto valueOr(const Map& map, std::string_view key, typename Map::mapped_type fallback)
{
    const auto found = map.find(key);
    return found == map.end() ? fallback : found->second;
}

} // namespace

forms::Text MemoryFormRuntime::text(forms::TextBox box) const
{
    return valueOr(textBoxes, box.name, forms::Text());
}

void MemoryFormRuntime::setText(forms::TextBox box, const forms::Text& text)
{
    forms::Text& content = textBoxes[std::string(box.name)];
    const bool changed = content != text;
    content = text;
    if (changed && m_changed) {
        m_changed(box.name);
    }
}

forms::Text MemoryFormRuntime::text(forms::ComboBox box) const
{
    return valueOr(comboBoxes, box.name, forms::Text());
}

bool MemoryFormRuntime::checked(forms::MenuItem item) const
{
    return valueOr(checkMarks, item.name, false);
}

void MemoryFormRuntime::setChecked(forms::MenuItem item, bool checked)
{
    checkMarks[std::string(item.name)] = checked;
}

MemoryFormRuntime::Clipboard& MemoryFormRuntime::board(forms::ClipboardMode mode)
{
    return mode == forms::ClipboardMode::Selection ? selection : clipboard;
}

const MemoryFormRuntime::Clipboard& MemoryFormRuntime::board(forms::ClipboardMode mode) const
{
    return mode == forms::ClipboardMode::Selection ? selection : clipboard;
}

void MemoryFormRuntime::clipboardClear(forms::ClipboardMode mode)
{
    steps.emplace_back("clear");
    board(mode) = Clipboard{};
}

void MemoryFormRuntime::clipboardSetText(const forms::Text& text)
{
    clipboard = Clipboard{text, false, true, true};
}

bool MemoryFormRuntime::clipboardHolds(const forms::Text& text, forms::ClipboardMode mode) const
{
    const Clipboard& b = board(mode);
    if (b.empty || b.text.empty()) {
        return false;
    }
    return b.text == text || (b.ours && text.find(b.text) != forms::Text::npos);
}

forms::ClipboardText MemoryFormRuntime::clipboardText(forms::ClipboardMode mode) const
{
    const Clipboard& b = board(mode);
    return {b.text, b.secret};
}

void MemoryFormRuntime::clipboardPutBack(const forms::ClipboardText& content,
                                         forms::ClipboardMode mode)
{
    steps.emplace_back("put back");
    board(mode) = Clipboard{content.text, false, content.secret, true};
}

void MemoryFormRuntime::otherProgramCopies(const forms::Text& text, forms::ClipboardMode mode)
{
    board(mode) = Clipboard{text, false, false, false};
}

} // namespace tessivo::testing
