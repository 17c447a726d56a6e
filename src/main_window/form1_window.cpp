#include "form1_window.h"

#include "key_box.h"
#include "password_box.h"
#include "qt_definition.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace tessivo::main_window {

using forms::formFont;
using forms::place;
using forms::rectFromTwips;
using forms::setColour;

namespace {

const QColor FormBackground(0x80, 0xFF, 0xFF);
const QColor BoxBackground(0xC0, 0xFF, 0xFF);
const QColor PasswordText(0xFF, 0x00, 0x00);
const QColor PasswordCaption(0x00, 0x00, 0xFF);

constexpr qreal SmallPoints = 8.25;
constexpr qreal ButtonPoints = 9.75;
constexpr qreal LargePoints = 12.0;

QString form1Title()
{
    return QStringLiteral("Tessivo " TESSIVO_VERSION) + QString(45, u' ') +
           QStringLiteral("by Vandro 33");
}

struct LabelDefinition {
    const char* name;
    const char16_t* caption;
    QRect place;
    qreal points;
    QColor colour; // invalid: the system's button text
};

// Back to front: each label lies in front of those before it.
const LabelDefinition Labels[] = {
    {"Label1", u"Name sito:", rectFromTwips(120, 120, 1095, 255), SmallPoints, {}},
    {"Label2", u".it", rectFromTwips(3840, 120, 375, 495), SmallPoints, {}},
    {"Label3", u"Username", rectFromTwips(120, 480, 3255, 375), SmallPoints, {}},
    {"Label4", u"Key", rectFromTwips(2520, 840, 1455, 255), SmallPoints, {}},
    {"Label5", u"number  key", rectFromTwips(120, 840, 1455, 375), SmallPoints, {}},
    {"Label8", u"PASSWORD", rectFromTwips(4560, 120, 1575, 615), LargePoints, PasswordCaption},
    {"Label6", u"www.", rectFromTwips(1200, 120, 1575, 375), SmallPoints, {}},
};

struct ButtonDefinition {
    const char* name;
    const char16_t* caption;
    QRect place;
    QColor background;
    void (Form1::*onClick)();
};

// In tab order.
const ButtonDefinition Buttons[] = {
    {"ComZeph", u"ZEPH", rectFromTwips(4200, 1080, 2175, 375), QColor(0xC0, 0xFF, 0xC0),
     &Form1::ComZeph_Click},
    {"ComCanc", u"CANC", rectFromTwips(120, 1200, 1815, 255), QColor(0xFF, 0xFF, 0xC0),
     &Form1::ComCanc_Click},
    {"ComEnd", u"END", rectFromTwips(2040, 1200, 1815, 255), QColor(0xFF, 0xC0, 0xC0),
     &Form1::ComEnd_Click},
};

QLineEdit* placeTextBox(QWidget& client, const char* name, const QRect& where, const QString& role)
{
    auto* box = place<QLineEdit>(client, name, where, role);
    box->setFont(formFont(SmallPoints));
    setColour(*box, QPalette::Base, BoxBackground);
    return box;
}

QAction* addItem(QWidget& menu, const char* name, const QString& caption, bool checkMark = false)
{
    auto* item = new QAction(caption, &menu); // owned by its menu
    item->setObjectName(QLatin1StringView(name));
    item->setCheckable(checkMark);
    menu.addAction(item);
    return item;
}

} // namespace

Form1Window::Form1Window(forms::QtForms& forms, forms::MessageService& messages,
                         clipboard::QtClipboard& clipboard, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_runtime(*this, forms, messages)
    , m_form(m_runtime, clipboard)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(form1Title());
    setWindowIcon(QIcon(QStringLiteral(":/tessivo/key_icon.png")));

    auto* client = new QWidget(this); // owned by the window
    client->setObjectName(QStringLiteral("Form1Client"));
    client->setFixedSize(forms::sizeFromTwips(6495, 1605));
    setColour(*client, QPalette::Window, FormBackground);
    setCentralWidget(client);
    buildControls(*client, clipboard);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_form.Form_Load();

    adjustSize();
    const QRect screenArea = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screenArea));
}

void Form1Window::buildControls(QWidget& client, clipboard::QtClipboard& clipboard)
{
    for (const LabelDefinition& definition : Labels) {
        const QString caption = QString::fromUtf16(definition.caption);
        auto* label = place<QLabel>(client, definition.name, definition.place, caption);
        label->setText(caption);
        label->setFont(formFont(definition.points));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setColour(*label, QPalette::Window, FormBackground);
        if (definition.colour.isValid()) {
            setColour(*label, QPalette::WindowText, definition.colour);
        } else {
            // Captions follow the desktop's button text colour, like the buttons beside them.
            label->setForegroundRole(QPalette::ButtonText);
        }
    }

    // In front of the labels, behind the boxes.
    auto* emblem = place<QLabel>(client, "Image1", rectFromTwips(2040, 720, 375, 420),
                                 QStringLiteral("Tessivo emblem"));
    emblem->setPixmap(QPixmap(QStringLiteral(":/tessivo/emblem.bmp")));
    emblem->setScaledContents(true);

    auto* site = placeTextBox(client, "TxtNomesito", rectFromTwips(1680, 0, 2175, 300),
                              QStringLiteral("Site name"));
    site->setMaxLength(19);
    auto* user = placeTextBox(client, "TxtUsername", rectFromTwips(1680, 360, 2175, 285),
                              QStringLiteral("User name"));
    user->setMaxLength(19);

    auto* length = place<QComboBox>(client, "Cobnumerokey", rectFromTwips(1320, 720, 615, 315),
                                    QStringLiteral("Password length"));
    length->setFont(formFont(SmallPoints));
    length->setEditable(true);
    // Typed text is a length to use, not a new list item.
    length->setInsertPolicy(QComboBox::NoInsert);
    length->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                      QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                      QStringLiteral("8"), QStringLiteral("10"), QStringLiteral("12"),
                      QStringLiteral("14")});
    length->setCurrentIndex(0);
    setColour(*length, QPalette::Base, BoxBackground);

    auto* key = place<KeyBox>(client, "TxtKey", rectFromTwips(3000, 720, 855, 300),
                              QStringLiteral("Master key"));
    key->setFont(formFont(SmallPoints));
    setColour(*key, QPalette::Base, BoxBackground);
    key->setKeyPressHandler([this](char32_t& code) { m_form.TxtKey_KeyPress(code); });
    connect(key, &QLineEdit::textChanged, this, [this] { m_form.TxtKey_Change(); });

    QPushButton* buttons[std::size(Buttons)] = {};
    for (std::size_t i = 0; i < std::size(Buttons); ++i) {
        const ButtonDefinition& definition = Buttons[i];
        const QString caption = QString::fromUtf16(definition.caption);
        auto* button = place<QPushButton>(client, definition.name, definition.place, caption);
        button->setText(caption);
        button->setFont(formFont(ButtonPoints));
        button->setAutoDefault(false);
        button->setDefault(false);
        setColour(*button, QPalette::Button, definition.background);
        connect(button, &QPushButton::clicked, this,
                [this, onClick = definition.onClick] { (m_form.*onClick)(); });
        buttons[i] = button;
    }

    auto* password = place<PasswordBox>(client, "LabPassword", rectFromTwips(4200, 480, 2175, 375),
                                        QStringLiteral("Password"), clipboard);
    password->setDefinedFont(formFont(LargePoints));
    password->setAlignment(Qt::AlignCenter);
    setColour(*password, QPalette::Text, PasswordText);

    QWidget::setTabOrder(site, user);
    QWidget::setTabOrder(user, length);
    QWidget::setTabOrder(length, key);
    QWidget::setTabOrder(key, buttons[0]);
    QWidget::setTabOrder(buttons[0], buttons[1]);
    QWidget::setTabOrder(buttons[1], buttons[2]);
    QWidget::setTabOrder(buttons[2], password);
    site->setFocus(Qt::OtherFocusReason);
}

void Form1Window::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false); // the menus belong in the window, as defined
    bar->setObjectName(QStringLiteral("Form1MenuBar"));

    const auto onClick = [this](QAction* item, void (Form1::*handler)()) {
        connect(item, &QAction::triggered, this, [this, handler] { (m_form.*handler)(); });
    };
    // Qt flips a check mark before it reports the click; the handlers read the mark as the
    // user saw it and set the marks themselves, so the flip is undone first.
    const auto onCheckClick = [this](QAction* item, void (Form1::*handler)()) {
        connect(item, &QAction::triggered, this, [this, item, handler] {
            item->setChecked(!item->isChecked());
            (m_form.*handler)();
        });
    };

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    onClick(addItem(*file, "Zeph", QStringLiteral("Zeph")), &Form1::Zeph_Click);

    QMenu* modify = bar->addMenu(QStringLiteral("Modify"));
    modify->setObjectName(QStringLiteral("Modify"));
    QMenu* selection = modify->addMenu(QStringLiteral("Selection"));
    selection->setObjectName(QStringLiteral("Selection"));
    onCheckClick(addItem(*selection, "Number", QStringLiteral("Number"), true),
                 &Form1::Number_Click);
    onCheckClick(addItem(*selection, "Alphabet", QStringLiteral("Alphabet"), true),
                 &Form1::Alphabet_Click);
    onCheckClick(addItem(*modify, "Hideing", QStringLiteral("Hideing"), true),
                 &Form1::Hideing_Click);
    onClick(addItem(*modify, "Canc", QStringLiteral("Canc")), &Form1::Canc_Click);

    onClick(addItem(*bar, "Esc", QStringLiteral("Esc")), &Form1::Esc_Click);

    QMenu* help = bar->addMenu(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("EdHelp"));
    onClick(addItem(*help, "Help", QStringLiteral("Help")), &Form1::Help_Click);
    onClick(addItem(*help, "Info", QStringLiteral("Info")), &Form1::Info_Click);
}

void Form1Window::closeEvent(QCloseEvent* event)
{
    m_form.Form_Unload();
    event->accept();
}

} // namespace tessivo::main_window
