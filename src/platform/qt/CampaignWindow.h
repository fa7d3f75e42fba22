#pragma once

#include <QWidget>

#include <functional>

#include "core/Ui.h"

class QLabel;
class QPushButton;
class QTableWidget;

// The non-modal "Campaign" window: the steps of the test plan with their
// state, the active step's fluence against its goal, and the buttons that
// ask the console to open a plan, go to the selected step (through Go's
// question), skip it or mark it done. It only shows what the console gives
// it and passes the buttons on: the console decides.
class CampaignWindow : public QWidget {
    Q_OBJECT
public:
    using Requests = std::function<void(const CampaignRequest&)>;
    CampaignWindow(Requests requests, QWidget* parent = nullptr);

    void setShown(const CampaignShown& shown);
    QTableWidget* table() const { return table_; }
    QString planText() const;
    // The step selected (an index into the plan), -1 for none.
    int selectedStep() const;
    // As the buttons do, with the step selected.
    void request(CampaignRequest::Kind kind);
    // The plan at `path` opened, as "Open plan..." does after its file dialog.
    void openPlan(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape closes the window

private:
    void updateButtons();

    Requests requests_;
    QLabel* plan_ = nullptr;
    QLabel* problems_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* go_ = nullptr;
    QPushButton* skip_ = nullptr;
    QPushButton* done_ = nullptr;
    QPushButton* close_ = nullptr;
};
