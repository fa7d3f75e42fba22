#include "platform/qt/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/Bitmaps.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tarvex"));
    setWindowIcon(applicationIcon());
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(applicationIcon().pixmap(48, 48));
    icon->setAccessibleName(QStringLiteral("Tarvex"));

    auto* text = new QLabel(QStringLiteral("Tarvex Version 2024"), this);
    text->setObjectName(QStringLiteral("aboutText"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("c1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addSpacing(12);
    row->addWidget(ok, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
