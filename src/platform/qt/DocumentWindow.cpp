#include "platform/qt/DocumentWindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/Ui.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/WindowPlacement.h"

namespace {

// What of a file is shown, and the line about the rest.
struct Content {
    QByteArray bytes;
    QString problem;  // empty: the whole file
};

QString cannotRead(const QString& why) { return QStringLiteral("The file could not be read: %1.").arg(why); }

// At most kDocumentReadLimitBytes of a regular file; never blocks on a pipe or
// a device, never reads an endless file to its end.
Content readDocument(const QString& path)
{
    Content content;
    const QFileInfo info(path);
    QFile file(path);
    if (info.exists() && !info.isFile()) {
        content.problem = cannotRead(QStringLiteral("it is not a regular file"));
    } else if (!file.open(QIODevice::ReadOnly)) {
        content.problem = cannotRead(file.errorString());
    } else {
        content.bytes = file.read(kDocumentReadLimitBytes + 1);
        if (file.error() != QFileDevice::NoError) {
            content.bytes.clear();
            content.problem = cannotRead(file.errorString());
        } else if (content.bytes.contains('\0')) {
            content.bytes.clear();
            content.problem = cannotRead(QStringLiteral("it is not a text file"));
        } else if (content.bytes.size() > kDocumentReadLimitBytes) {
            content.bytes.truncate(kDocumentReadLimitBytes);
            const qint64 mebibytes = kDocumentReadLimitBytes / (1024 * 1024);
            content.problem =
                QStringLiteral("The file is longer than %1 MiB and was cut: only its first %1 MiB are shown.")
                    .arg(mebibytes);
        } else if (content.bytes.isEmpty()) {
            content.problem = QStringLiteral("The file is empty.");
        }
    }
    return content;
}

// UTF-8 unless an HTML page declares its encoding; bytes that are no UTF-8
// are taken as Latin-1. A sequence cut by the read limit is left out.
QString decoded(const QByteArray& bytes, bool html)
{
    QStringDecoder decoder = html ? QStringDecoder::decoderForHtml(bytes) : QStringDecoder(QStringDecoder::Utf8);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

bool isHtml(const QFileInfo& info)
{
    const QString suffix = info.suffix().toLower();
    return suffix == QLatin1String("htm") || suffix == QLatin1String("html");
}

}  // namespace

DocumentWindow::DocumentWindow(Ui& ui, QWidget* parent) : QWidget(parent), ui_(ui)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("documentWindow"));
    keepWindowPlaced(this, "document", QSize(760, 640));

    pathLabel_ = new QLabel(this);
    pathLabel_->setObjectName(QStringLiteral("documentPath"));
    pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("documentProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    problem_->setVisible(false);
    text_ = new QTextBrowser(this);
    text_->setObjectName(QStringLiteral("documentText"));
    // Links are followed here, through the same bounded read.
    text_->setOpenLinks(false);
    connect(text_, &QTextBrowser::anchorClicked, this, &DocumentWindow::followLink);
    external_ = new QPushButton(QStringLiteral("&Open in external viewer"), this);
    external_->setObjectName(QStringLiteral("openExternally"));
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setObjectName(QStringLiteral("closeDocument"));
    connect(external_, &QPushButton::clicked, this, &DocumentWindow::openExternally);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(external_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pathLabel_);
    layout->addWidget(problem_);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &DocumentWindow::helpRequested);
}

QString DocumentWindow::problem() const { return problem_->text(); }

void DocumentWindow::showFile(const QString& path)
{
    path_ = path;
    const QFileInfo info(path);
    setWindowTitle(info.fileName() + QStringLiteral(" - Tarvex"));
    pathLabel_->setText(path);
    const Content content = readDocument(path);
    problem_->setText(content.problem);
    problem_->setVisible(!content.problem.isEmpty());
    const bool html = isHtml(info);
    text_->setSearchPaths({info.absolutePath()});  // the page's pictures
    const QString text = decoded(content.bytes, html);
    if (html) {
        text_->setFont(font());
        text_->setHtml(text);
    } else {
        // The viewer's copies line their columns up with blanks.
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        text_->setPlainText(text);
    }
}

void DocumentWindow::followLink(const QUrl& link)
{
    if (link.isRelative() && link.path().isEmpty()) {
        text_->scrollToAnchor(link.fragment());
        return;
    }
    const QUrl target = QUrl::fromLocalFile(path_).resolved(link);
    if (!target.isLocalFile()) {
        QDesktopServices::openUrl(target);
        return;
    }
    showFile(target.toLocalFile());
    if (target.hasFragment())
        text_->scrollToAnchor(target.fragment());
}

void DocumentWindow::openExternally()
{
    const std::string shown = path_.toStdString();
    QPointer<DocumentWindow> self(this);
    ui_.openDocument(shown, [self, shown] {
        if (self == nullptr)
            return;
        runMessageBox(self->isVisible() ? self.data() : nullptr,
                      "Unable to start the desktop's viewer (xdg-open) for " + shown +
                          " - the file is shown in the console.",
                      Icon::Warning, Buttons::Ok, Button::Ok, kCaption);
    });
}
