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

MemoryFormRuntime::Content& MemoryFormRuntime::contentOf(clipboard::Board board)
{
    return board == clipboard::Board::Selection ? selection : clipboard;
}

const MemoryFormRuntime::Content& MemoryFormRuntime::contentOf(clipboard::Board board) const
{
    return board == clipboard::Board::Selection ? selection : clipboard;
}

void MemoryFormRuntime::clear(clipboard::Board board)
{
    steps.emplace_back("clear");
    contentOf(board) = Content{};
}

void MemoryFormRuntime::setText(const forms::Text& text)
{
    clipboard = Content{text, false, true, true};
}

bool MemoryFormRuntime::holds(const forms::Text& text, clipboard::Board board) const
{
    const Content& b = contentOf(board);
    if (b.empty || b.text.empty()) {
        return false;
    }
    return b.text == text || (b.ours && text.find(b.text) != forms::Text::npos);
}

clipboard::ClipboardText MemoryFormRuntime::text(clipboard::Board board) const
{
    const Content& b = contentOf(board);
    return {b.text, b.secret};
}

void MemoryFormRuntime::putBack(const clipboard::ClipboardText& content, clipboard::Board board)
{
    steps.emplace_back("put back");
    contentOf(board) = Content{content.text, false, content.secret, true};
}

void MemoryFormRuntime::otherProgramCopies(const forms::Text& text, clipboard::Board board)
{
    contentOf(board) = Content{text, false, false, false};
}

} // namespace tessivo::testing
