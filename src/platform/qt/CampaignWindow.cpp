#include "platform/qt/CampaignWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/qt/WindowPlacement.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CampaignWindow::CampaignWindow(Requests requests, QWidget* parent) : QWidget(parent), requests_(std::move(requests))
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("campaignWindow"));
    setWindowTitle(QStringLiteral("Campaign"));

    plan_ = new QLabel(this);
    plan_->setObjectName(QStringLiteral("campaignPlan"));
    plan_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("campaignProblems"));
    problems_->setWordWrap(true);
    problems_->setStyleSheet(QStringLiteral("QLabel { color: #8a4b00; }"));
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    table_ = new QTableWidget(0, 8, this);
    table_->setObjectName(QStringLiteral("campaignSteps"));
    table_->setHorizontalHeaderLabels({QStringLiteral("step"), QStringLiteral("state"), QStringLiteral("ion"),
                                       QStringLiteral("wanted"), QStringLiteral("setting"), QStringLiteral("goal"),
                                       QStringLiteral("reached"), QStringLiteral("comment")});
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);

    open_ = new QPushButton(QStringLiteral("&Open plan\u2026"), this);
    open_->setObjectName(QStringLiteral("openPlan"));
    go_ = new QPushButton(QStringLiteral("&Go to step"), this);
    go_->setObjectName(QStringLiteral("goToStep"));
    skip_ = new QPushButton(QStringLiteral("&Skip step"), this);
    skip_->setObjectName(QStringLiteral("skipStep"));
    done_ = new QPushButton(QStringLiteral("&Mark done"), this);
    done_->setObjectName(QStringLiteral("markStepDone"));
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setObjectName(QStringLiteral("closeCampaign"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addStretch(1);
    buttons->addWidget(go_);
    buttons->addWidget(skip_);
    buttons->addWidget(done_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(plan_);
    layout->addWidget(table_, 1);
    layout->addWidget(problems_);
    layout->addLayout(buttons);
    keepWindowPlaced(this, "campaign", QSize(1100, 360));

    connect(open_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open test plan"), QDir::currentPath(),
                                                          QStringLiteral("Test plans (*.csv);;All files (*)"));
        if (!path.isEmpty())
            openPlan(path);
    });
    connect(go_, &QPushButton::clicked, this, [this] { request(CampaignRequest::Kind::GoToStep); });
    connect(skip_, &QPushButton::clicked, this, [this] { request(CampaignRequest::Kind::SkipStep); });
    connect(done_, &QPushButton::clicked, this, [this] { request(CampaignRequest::Kind::MarkDone); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CampaignWindow::updateButtons);
    setShown(CampaignShown{});
}

void CampaignWindow::setShown(const CampaignShown& shown)
{
    const int selected = selectedStep();
    plan_->setText(shown.plan.empty()
                       ? QStringLiteral("No test plan open.")
                       : QStringLiteral("Test plan %1: %2 steps").arg(qs(shown.plan)).arg(shown.steps.size()));
    QStringList problems;
    for (const std::string& problem : shown.problems)
        problems << qs(problem);
    problems_->setText(problems.join(QLatin1Char('\n')));
    problems_->setVisible(!problems.isEmpty());
    table_->setRowCount(static_cast<int>(shown.steps.size()));
    int active = -1;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const CampaignStepShown& step = shown.steps[static_cast<std::size_t>(row)];
        const QStringList texts = {qs(step.name),    qs(step.state), qs(step.ion),      qs(step.wanted),
                                   qs(step.setting), qs(step.goal),  qs(step.progress), qs(step.comment)};
        for (int column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            QFont font = item->font();
            font.setBold(step.active);
            item->setFont(font);
            table_->setItem(row, column, item);
        }
        if (step.active)
            active = row;
    }
    // The selection stays where the operator put it; the active step otherwise.
    const int row = selected >= 0 && selected < table_->rowCount() ? selected : active;
    if (row >= 0)
        table_->selectRow(row);
    updateButtons();
}

QString CampaignWindow::planText() const { return plan_->text(); }

int CampaignWindow::selectedStep() const
{
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
}

void CampaignWindow::request(CampaignRequest::Kind kind)
{
    CampaignRequest request;
    request.kind = kind;
    request.step = selectedStep();
    if (request.step >= 0 && requests_)
        requests_(request);
}

void CampaignWindow::openPlan(const QString& path)
{
    CampaignRequest request;
    request.path = QDir::current().relativeFilePath(path).startsWith(QStringLiteral(".."))
                       ? path.toStdString()
                       : QDir::current().relativeFilePath(path).toStdString();
    if (requests_)
        requests_(request);
}

void CampaignWindow::updateButtons()
{
    const bool any = selectedStep() >= 0;
    go_->setEnabled(any);
    skip_->setEnabled(any);
    done_->setEnabled(any);
}

void CampaignWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
