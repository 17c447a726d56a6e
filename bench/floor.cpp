// The least any Qt Widgets program with Tessivo's window costs to start and to hold in memory:
// the same kinds and number of controls in a client area of the same size, and nothing else.
// No Tessivo code, and like Tessivo it takes nothing from the command line or the environment
// beyond what QApplication itself reads, so both start under the same conditions.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor"));

    auto* client = new QWidget(&window); // owned by the window
    client->setFixedSize(433, 107);
    window.setCentralWidget(client);

    // In the window, as Tessivo's are, rather than handed to a desktop's global menu.
    window.menuBar()->setNativeMenuBar(false);
    for (const QString& title : {QStringLiteral("File"), QStringLiteral("Edit"),
                                 QStringLiteral("View"), QStringLiteral("Help")}) {
        QMenu* menu = window.menuBar()->addMenu(title);
        menu->addAction(QStringLiteral("First"));
        menu->addAction(QStringLiteral("Second"));
    }

    const QRect labels[] = {{8, 8, 73, 17}, {8, 32, 100, 25}, {8, 56, 97, 25}, {168, 56, 97, 17}};
    for (const QRect& place : labels) {
        auto* label = new QLabel(QStringLiteral("Label"), client);
        label->setGeometry(place);
    }
    for (const QRect& place :
         {QRect(112, 0, 145, 20), QRect(112, 24, 145, 19), QRect(200, 48, 57, 20)}) {
        auto* box = new QLineEdit(client);
        box->setGeometry(place);
    }
    auto* combo = new QComboBox(client);
    combo->setGeometry(88, 48, 41, 21);
    combo->setEditable(true);
    for (int i = 1; i <= 10; ++i) {
        combo->addItem(QString::number(i));
    }
    const QRect buttons[] = {{280, 72, 145, 25}, {8, 80, 121, 17}, {136, 80, 121, 17}};
    for (const QRect& place : buttons) {
        auto* button = new QPushButton(QStringLiteral("Button"), client);
        button->setGeometry(place);
    }

    window.show();
    return QApplication::exec();
}
