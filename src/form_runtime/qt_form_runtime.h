#pragma once

#include "form_runtime.h"
#include "message_service.h"

#include <array>
#include <memory>

class QMimeData;
class QString;
class QWidget;

namespace tessivo::forms {

class QtForms;

// `text` as clipboard data marked secret, so that clipboard histories and sync services that
// honour the mark keep it out. Every copy of a password goes through here.
std::unique_ptr<QMimeData> secretText(const QString& text);

// The form runtime over one real Qt window: controls are the window's children found by
// object name, the clipboard is the system clipboard, other forms are reached through the
// program's `QtForms`. A missing control is a defect in the window's definition and stops
// the program with a message naming it.
class QtFormRuntime final : public FormRuntime {
public:
    QtFormRuntime(QWidget& form, QtForms& forms, MessageService& messages);
    Q_DISABLE_COPY_MOVE(QtFormRuntime)
    ~QtFormRuntime() override = default;

    [[nodiscard]] Text text(TextBox box) const override;
    void setText(TextBox box, const Text& text) override;
    void setFocus(TextBox box) override;
    [[nodiscard]] Text text(ComboBox box) const override;
    [[nodiscard]] bool checked(MenuItem item) const override;
    void setChecked(MenuItem item, bool checked) override;
    void clipboardClear(ClipboardMode mode) override;
    void clipboardSetText(const Text& text) override;
    [[nodiscard]] bool clipboardHolds(const Text& text, ClipboardMode mode) const override;
    [[nodiscard]] ClipboardText clipboardText(ClipboardMode mode) const override;
    void clipboardPutBack(const ClipboardText& content, ClipboardMode mode) override;
    void clipboardWait() override;
    void msgBox(const Text& message) override;
    void beep() override;
    void show(Form form) override;
    void unload(Form form) override;
    void end() override;

private:
    template <typename Control> Control& find(std::string_view name) const;

    // What this program last did to the clipboard and the selection that others may answer,
    // by refilling or taking over what was emptied, or by reading what was filled.
    enum class Touch { None, Emptied, Filled };
    std::array<Touch, 2> m_touched{Touch::None, Touch::None};

    QWidget& m_form;
    QtForms& m_forms;
    MessageService& m_messages;
};

} // namespace tessivo::forms
