#pragma once

#include "form_runtime.h"
#include "message_service.h"

class QWidget;

namespace tessivo::forms {

class QtForms;

// The form runtime over one real Qt window: controls are the window's children found by
// object name, other forms are reached through the program's `QtForms`. A missing control is a
// defect in the window's definition and stops the program with a message naming it.
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
    void msgBox(const Text& message) override;
    void beep() override;
    void show(Form form) override;
    void hide(Form form) override;
    void unload(Form form) override;
    void end() override;

private:
    template <typename Control> Control& find(std::string_view name) const;

    QWidget& m_form;
    QtForms& m_forms;
    MessageService& m_messages;
};

} // namespace tessivo::forms
