#pragma once

#include "clipboard.h"
#include "form_runtime.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tessivo::testing {

// An in-memory form runtime and clipboard: controls are plain values, each board a small record
// that can tell whether another program has copied something since, messages are recorded.
class MemoryFormRuntime final : public forms::FormRuntime, public clipboard::Clipboard {
public:
    struct Content {
        forms::Text text;
        bool empty = true;
        bool secret = false; // marked for clipboard histories to skip
        bool ours = false;   // put there by this program
    };

    MemoryFormRuntime() = default;
    ~MemoryFormRuntime() override = default;

    [[nodiscard]] forms::Text text(forms::TextBox box) const override;
    void setText(forms::TextBox box, const forms::Text& text) override;
    void setFocus(forms::TextBox box) override { focus = std::string(box.name); }
    [[nodiscard]] forms::Text text(forms::ComboBox box) const override;
    [[nodiscard]] bool checked(forms::MenuItem item) const override;
    void setChecked(forms::MenuItem item, bool checked) override;
    void clear(clipboard::Board board) override;
    void setText(const forms::Text& text) override;
    [[nodiscard]] bool holds(const forms::Text& text, clipboard::Board board) const override;
    [[nodiscard]] clipboard::ClipboardText text(clipboard::Board board) const override;
    void putBack(const clipboard::ClipboardText& content, clipboard::Board board) override;
    bool answeredAtOnce() override
    {
        if (!answersAtOnce || !m_otherPrograms) {
            return false;
        }
        m_otherPrograms();
        return true;
    }
    void wait() override
    {
        steps.emplace_back("wait");
        if (m_otherPrograms) {
            m_otherPrograms();
        }
    }
    void msgBox(const forms::Text& message) override { messages.push_back(message); }
    void beep() override { ++beeps; }
    void show(forms::Form form) override { shown.emplace_back(form.name); }
    void hide(forms::Form form) override { steps.push_back("hide " + std::string(form.name)); }
    void unload(forms::Form form) override { unloaded.emplace_back(form.name); }
    void end() override { ++ends; }

    // What another program does to the clipboard.
    void otherProgramCopies(const forms::Text& text,
                            clipboard::Board board = clipboard::Board::Clipboard);

    // What other programs, a clipboard manager say, do while Tessivo waits for them.
    void whileWaiting(std::function<void()> act) { m_otherPrograms = std::move(act); }

    // Runs whenever a text box's content changes, as a real box reports its edits.
    void onTextChanged(std::function<void(std::string_view box)> handler)
    {
        m_changed = std::move(handler);
    }

    std::map<std::string, forms::Text, std::less<>> textBoxes;
    std::map<std::string, forms::Text, std::less<>> comboBoxes;
    std::map<std::string, bool, std::less<>> checkMarks;
    Content clipboard;
    Content selection;
    std::vector<forms::Text> messages;
    std::vector<std::string> shown;
    std::vector<std::string> unloaded;
    std::string focus;
    // What was done to the clipboard and the windows, in order: "clear", "put back", "wait",
    // "hide Form1".
    std::vector<std::string> steps;
    int ends = 0;
    int beeps = 0;
    // Other programs act at once, before the windows go (a Wayland compositor's own clipboard).
    bool answersAtOnce = false;

private:
    Content& contentOf(clipboard::Board board);
    const Content& contentOf(clipboard::Board board) const;

    std::function<void(std::string_view)> m_changed;
    std::function<void()> m_otherPrograms;
};

} // namespace tessivo::testing
