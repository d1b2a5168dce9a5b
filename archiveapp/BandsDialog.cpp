#include "BandsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

BandsDialog::BandsDialog(const VerdictBands &bands, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Minősítési határok"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral(
        "A festékréteg-vastagság határai mikrométerben, fémenként. Az alapértékek a "
        "gépjármű-fényezésben szokásos értékek; az állomás a saját mérőműszeréhez és "
        "gyakorlatához igazítsa őket."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    const QStringList labels{QStringLiteral("Gyanúsan vékony, ha kisebb mint:"),
                             QStringLiteral("Gyári fényezés legfeljebb:"),
                             QStringLiteral("Újrafényezett legfeljebb (fölötte gittelt):")};
    for (Substrate s : {Substrate::FE, Substrate::AL}) {
        auto *group = new QGroupBox(s == Substrate::FE ? QStringLiteral("Vas alapon (FE)")
                                                       : QStringLiteral("Alumínium alapon (AL)"));
        auto *form = new QFormLayout(group);
        for (int i = 0; i < 3; ++i) {
            auto *spin = new QSpinBox;
            spin->setRange(0, VerdictBands::kLargest - 1);
            spin->setSuffix(QStringLiteral(" µm"));
            spin->setObjectName(QStringLiteral("SE_%1_%2").arg(substrateName(s)).arg(i));
            connect(spin, &QSpinBox::valueChanged, this, &BandsDialog::check);
            form->addRow(labels.at(i), spin);
            m_spins[int(s)][i] = spin;
        }
        layout->addWidget(group);
    }
    m_problem = new QLabel;
    m_problem->setStyleSheet(QStringLiteral("color: #b00000;"));
    layout->addWidget(m_problem);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                     QDialogButtonBox::RestoreDefaults);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Mentés"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Mégse"));
    m_buttons->button(QDialogButtonBox::RestoreDefaults)->setText(QStringLiteral("Alapértékek"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { setBands(VerdictBands()); });
    layout->addWidget(m_buttons);
    setBands(bands);
}

VerdictBands BandsDialog::bands() const
{
    VerdictBands bands;
    for (Substrate s : {Substrate::FE, Substrate::AL})
        bands.set(s, {m_spins[int(s)][0]->value(), m_spins[int(s)][1]->value(),
                      m_spins[int(s)][2]->value()});
    return bands;
}

void BandsDialog::setBands(const VerdictBands &bands)
{
    for (Substrate s : {Substrate::FE, Substrate::AL}) {
        const SubstrateBands &b = bands.of(s);
        m_spins[int(s)][0]->setValue(b.thinBelow);
        m_spins[int(s)][1]->setValue(b.factoryUpTo);
        m_spins[int(s)][2]->setValue(b.repaintedUpTo);
    }
    check();
}

void BandsDialog::check()
{
    QStringList wrong;
    const VerdictBands current = bands();
    for (Substrate s : {Substrate::FE, Substrate::AL}) {
        if (!current.of(s).valid())
            wrong.append(substrateName(s));
    }
    m_problem->setText(wrong.isEmpty() ? QString()
                                       : QStringLiteral("A határok nem növekvők: ") +
                                             wrong.join(QStringLiteral(", ")));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(wrong.isEmpty());
}
