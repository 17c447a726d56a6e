#pragma once

#include "form1.h"
#include "qt_clipboard.h"
#include "qt_form_runtime.h"

#include <QMainWindow>

namespace tessivo::forms {
class QtForms;
}

namespace tessivo::main_window {

// `Form1`'s definition made real: the window, its controls and menus, each control named
// after its definition, and every event wired to its handler in `Form1`, which reaches the
// process's `clipboard`.
class Form1Window final : public QMainWindow {
    Q_OBJECT

public:
    Form1Window(forms::QtForms& forms, forms::MessageService& messages,
                clipboard::QtClipboard& clipboard, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(Form1Window)
    ~Form1Window() override = default;

    Form1& form() { return m_form; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(QWidget& client, clipboard::QtClipboard& clipboard);
    void buildMenus();

    forms::QtFormRuntime m_runtime;
    Form1 m_form;
};

} // namespace tessivo::main_window
