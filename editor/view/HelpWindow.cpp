#include "editor/view/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "editor/shell/EditorTexts.h"

namespace qxm::editor {

QString HelpWindow::manualPath() {
    const QByteArray forced = qgetenv("QXM_MANUAL");
    if (!forced.isEmpty()) return QString::fromLocal8Bit(forced);
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/qxm/manual.html");
}

QWidget* HelpWindow::open(QWidget* parent) {
    auto* window = new QWidget(parent, Qt::Window);
    window->setObjectName("HelpWindow");
    window->setWindowTitle(QString::fromUtf8(text::kHelpTitle));
    window->resize(640, 560);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* browser = new QTextBrowser(window);
    browser->setObjectName("HelpBrowser");
    browser->setOpenExternalLinks(true);
    layout->addWidget(browser);
    const QString path = manualPath();
    if (QFileInfo::exists(path))
        browser->setSource(QUrl::fromLocalFile(path));
    else
        browser->setPlainText(QStringLiteral("The manual was not found at %1.").arg(path));
    return window;
}

} // namespace qxm::editor
