#include "form1.h"
#include "form1_window.h"
#include "form2_window.h"
#include "form_names.h"
#include "message_service.h"
#include "qt_application.h"
#include "qt_forms.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    tessivo::forms::SetUpApplication(application);

    tessivo::forms::MessageBoxService messages;
    tessivo::forms::QtForms forms;
    forms.define(tessivo::forms::Form1Name.name, [&forms, &messages] {
        return std::make_unique<tessivo::main_window::Form1Window>(forms, messages);
    });
    forms.define(tessivo::forms::Form2Name.name, [&forms, &messages] {
        return std::make_unique<tessivo::info_window::Form2Window>(forms, messages);
    });
    QObject::connect(&forms, &tessivo::forms::QtForms::ended, &application,
                     [] { QCoreApplication::exit(0); });

    forms.show(tessivo::forms::Form1Name.name);
    return QApplication::exec();
}
