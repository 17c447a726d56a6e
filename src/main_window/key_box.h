#pragma once

#include <QLineEdit>

#include <functional>

namespace tessivo::main_window {

// The master key's box. It shows one "*" per character and never lets the key out: no copy,
// no cut, no drag, no clear text, not even for a moment. Only key characters get in, whether typed,
// pasted, dropped or composed by an input method.
class KeyBox final : public QLineEdit {
    Q_OBJECT

public:
    // Sees each typed character (and Enter as 13) before the box does; 0 refuses it.
    using KeyPressHandler = std::function<void(char32_t& code)>;

    explicit KeyBox(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(KeyBox)
    // The key goes with the box: overwritten, not merely released.
    ~KeyBox() override;

    void setKeyPressHandler(KeyPressHandler handler) { m_onKeyPress = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    KeyPressHandler m_onKeyPress;
};

} // namespace tessivo::main_window
