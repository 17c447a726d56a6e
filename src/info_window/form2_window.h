#pragma once

#include "form2.h"
#include "qt_form_runtime.h"

#include <QFrame>

namespace tessivo::forms {
class QtForms;
}

namespace tessivo::info_window {

// `Form2`'s definition made real: a small window without a title bar, outside the taskbar,
// showing the banner and the program's credits, with one button back to the main window.
class Form2Window final : public QFrame {
    Q_OBJECT

public:
    Form2Window(forms::QtForms& forms, forms::MessageService& messages, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(Form2Window)
    ~Form2Window() override = default;

    Form2& form() { return m_form; }

private:
    void buildControls(QWidget& client);

    forms::QtFormRuntime m_runtime;
    Form2 m_form;
};

} // namespace tessivo::info_window
