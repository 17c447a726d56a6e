#pragma once

#include "qt_clipboard.h"

#include <QClipboard>
#include <QFont>
#include <QLineEdit>

namespace tessivo::main_window {

// The box that shows the password. Whatever of its text reaches the clipboard or the X11
// selection is marked secret as a generated password is, through `clipboard`. A text too wide for
// the box at its defined font is drawn smaller until it shows whole; the box keeps its size and
// place.
class PasswordBox final : public QLineEdit {
    Q_OBJECT

public:
    explicit PasswordBox(clipboard::QtClipboard& clipboard, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(PasswordBox)
    ~PasswordBox() override = default;

    // The font of the definition: every text that fits the box is shown at it.
    void setDefinedFont(const QFont& font);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void copySecret();
    void cutSecret();
    void markOwnCopy(QClipboard::Mode mode);
    void fitText();
    [[nodiscard]] bool fits(const QFont& font) const;

    clipboard::QtClipboard& m_clipboard;
    QFont m_definedFont;
    bool m_handlingUser = false; // inside one of the box's own events
};

} // namespace tessivo::main_window
