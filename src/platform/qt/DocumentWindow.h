#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTextBrowser;
class Ui;

// The most of a file the document window reads; a longer file is shown cut.
inline constexpr qint64 kDocumentReadLimitBytes = 4 * 1024 * 1024;  // bytes

// The non-modal document window of the console: the help page (".htm",
// ".html") as HTML, any other file (the viewer's copies) as plain text, under
// the file's full path. A file that cannot be read (missing, not a regular
// file, not text) or is longer than kDocumentReadLimitBytes is said so in a
// line above the text. "Open in external viewer" hands the file to the
// desktop's opener through the Ui port and tells the operator when that
// fails; F1 asks for help as in the main dialog.
class DocumentWindow : public QWidget {
    Q_OBJECT
public:
    explicit DocumentWindow(Ui& ui, QWidget* parent = nullptr);

    // Reads the file at `path` (absolute) and shows it instead of the last one.
    void showFile(const QString& path);

    QString path() const { return path_; }
    // The line about a file that could not be read, was cut or is empty;
    // empty when the whole file is shown.
    QString problem() const;
    QTextBrowser* browser() const { return text_; }

signals:
    void helpRequested();  // F1

private:
    void openExternally();
    void followLink(const QUrl& link);

    Ui& ui_;
    QString path_;
    QLabel* pathLabel_ = nullptr;
    QLabel* problem_ = nullptr;
    QTextBrowser* text_ = nullptr;
    QPushButton* external_ = nullptr;
    QPushButton* close_ = nullptr;
};
