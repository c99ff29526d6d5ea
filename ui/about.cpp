#include "ui/about.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QtGlobal>

namespace ui {

TDlgAbout::TDlgAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Info"));
    setObjectName(QStringLiteral("DlgAbout"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QString::fromUtf8(kProductName), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    name->setObjectName(QStringLiteral("ProductName"));
    layout->addWidget(name, 0, Qt::AlignHCenter);
    for (const char* line : {kVersionText, "Programm zur Harmonischen Synthese",
                             "mehrerer abhängiger Lagefunktionen"}) {
        layout->addWidget(new QLabel(QString::fromUtf8(line), this), 0, Qt::AlignHCenter);
    }
    layout->addSpacing(8);
    // __DATE__ reads "Dec  7 2026"; shown the German way.
    const QDate built =
        QDate::fromString(QString::fromLatin1(__DATE__).simplified(), QStringLiteral("MMM d yyyy"));
    layout->addWidget(new QLabel(QStringLiteral("Erstellt: ") +
                                     built.toString(QStringLiteral("dd.MM.yyyy")) +
                                     QStringLiteral(", Qt ") + QString::fromLatin1(qVersion()),
                                 this),
                      0, Qt::AlignHCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace ui
