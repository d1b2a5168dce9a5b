#pragma once

#include <QDialog>

#include "VerdictBands.h"

class QDialogButtonBox;
class QLabel;
class QSpinBox;

// Editing the verdict limits of both substrates; refuses limits that are
// not in increasing order.
class BandsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BandsDialog(const VerdictBands &bands, QWidget *parent = nullptr);

    VerdictBands bands() const;
    void setBands(const VerdictBands &bands);

private:
    void check();

    QSpinBox *m_spins[kSubstrateCount][3] = {};
    QLabel *m_problem = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
