#include "form2_window.h"

#include "qt_definition.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace tessivo::info_window {

using forms::formFont;
using forms::place;
using forms::rectFromTwips;
using forms::setColour;

namespace {

constexpr qreal ButtonPoints = 8.25;
constexpr qreal LabelPoints = 9.75;

// Qt's palettes have no colour for a title bar's text. Highlighted text is its counterpart:
// the light text drawn on the highlight, as caption text is drawn on the caption, and white
// in the palette the program uses.
constexpr QPalette::ColorRole TitleBarText = QPalette::HighlightedText;

// A dialog frame around the client area: the raised edge, then a line of the window face.
constexpr int FaceMargin = 1;

struct LabelDefinition {
    const char* name;
    const char16_t* caption;
    QRect place;
    QPalette::ColorRole background;
    QPalette::ColorRole text;
};

// Back to front. All lie in front of the banner and behind the button, which overlaps the
// last one.
const LabelDefinition Labels[] = {
    {"Label1", u"Software   Tessivo  1.1 ", rectFromTwips(120, 2520, 3615, 255), TitleBarText,
     QPalette::ButtonText},
    {"Label2", u"16  agosto  2004", rectFromTwips(120, 2880, 3615, 255), QPalette::HighlightedText,
     QPalette::ButtonText},
    {"Label3", u"By  Vandro 33", rectFromTwips(120, 3240, 3615, 255), QPalette::HighlightedText,
     QPalette::Highlight},
};

} // namespace

Form2Window::Form2Window(forms::QtForms& forms, forms::MessageService& messages, QWidget* parent)
    // A tool window stays out of the taskbar; without a frame from the window manager there is
    // no title bar to close, move or resize it by.
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_runtime(*this, forms, messages)
    , m_form(m_runtime)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString());
    // No window manager frames it, so it draws its own fixed dialog edge.
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);

    auto* client = new QWidget(this); // owned by the window
    client->setObjectName(QStringLiteral("Form2Client"));
    client->setFixedSize(forms::sizeFromTwips(3855, 3645));
    setColour(*client, QPalette::Window, palette().color(TitleBarText));
    buildControls(*client);

    auto* frame = new QVBoxLayout(this); // owned by the window
    frame->setContentsMargins(FaceMargin, FaceMargin, FaceMargin, FaceMargin);
    frame->addWidget(client);
    frame->setSizeConstraint(QLayout::SetFixedSize);

    adjustSize();
    const QRect screenArea = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screenArea));
}

void Form2Window::buildControls(QWidget& client)
{
    const QPalette system = palette();

    // Decoded here, when the window is made, not when the program starts. Shown at its own
    // size from above and left of the client area, so the window edges crop it.
    auto* banner = place<QLabel>(client, "Image1", rectFromTwips(-480, -360, 4545, 3090),
                                 QStringLiteral("Tessivo banner"));
    const QPixmap picture(QStringLiteral(":/tessivo/banner.jpg"));
    if (picture.isNull()) {
        qWarning("Tessivo: the banner could not be decoded; is Qt's JPEG image plugin installed?");
    }
    banner->setPixmap(picture);
    banner->setScaledContents(false);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (const LabelDefinition& definition : Labels) {
        const QString caption = QString::fromUtf16(definition.caption);
        auto* label = place<QLabel>(client, definition.name, definition.place, caption);
        label->setTextFormat(Qt::PlainText); // runs of spaces are part of the caption
        label->setText(caption);
        label->setWordWrap(false);
        label->setFont(formFont(LabelPoints));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        setColour(*label, QPalette::Window, system.color(definition.background));
        setColour(*label, QPalette::WindowText, system.color(definition.text));
    }

    // Made last, so it lies in front of everything.
    const QString caption = QStringLiteral("ESC");
    auto* button =
        place<QPushButton>(client, "Command1", rectFromTwips(3240, 3120, 495, 375), caption);
    button->setAccessibleDescription(QStringLiteral("Back to the main window"));
    button->setText(caption);
    button->setFont(formFont(ButtonPoints));
    // Neither default nor cancel: Enter and Esc leave it alone, only Space or a click press it.
    button->setAutoDefault(false);
    button->setDefault(false);
    setColour(*button, QPalette::Button, system.color(QPalette::HighlightedText));
    setColour(*button, QPalette::ButtonText, system.color(QPalette::ButtonText));
    connect(button, &QPushButton::clicked, this, [this] { m_form.Command1_Click(); });

    // The only control that takes focus, so it has it whenever the window is active.
    button->setFocus(Qt::OtherFocusReason);
}

} // namespace tessivo::info_window
