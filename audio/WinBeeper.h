#pragma once

#include "Beeper.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
// The PC speaker through the system's Beep. A beep lasts its length even where
// Beep returns early (no speaker, or Wine, which only rings the terminal bell),
// so that queued beeps keep their rhythm.
class WinBeeper : public Beeper
{
public:
    void Beep(int frequencyHz, int durationMs) override;
};
#endif
