// tervana: the desktop program. Builds the application, loads the German catalogue of Qt's
// own dialogs and shows the main window.
#include <QApplication>
#include <QTranslator>
#include <QTreeWidgetItem>

#include "net/remote_settings.h"
#include "ui/main_window.h"
#include "ui/project_tree_widget.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervana"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tervana"));
    QApplication::setOrganizationName(QString::fromLatin1(net::kSettingsOrganisation));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tervana.png")));
    // The user interface is German, the standard buttons and dialogs too, through the
    // catalogue; numbers are shown as the user's locale writes them, so the default locale
    // stays the user's own.
    QTranslator qtCatalogue;
    (void)graphics::loadQtGermanCatalogue(qtCatalogue);
    ui::TDlgMain window;
    window.show();
    // Project files named on the command line are opened and shown unfolded.
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (model::Node* project = window.openProjectFile(args[i])) {
            QTreeWidgetItem* item = window.itemOf(project);
            item->setExpanded(true);
            for (int k = 0; k < item->childCount(); ++k) item->child(k)->setExpanded(true);
        }
    }
    return QApplication::exec();
}
