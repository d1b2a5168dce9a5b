// The sound choice on the first page.
#include "KromaglenForZov_M.h"

#include <QComboBox>
#include <QLabel>

void TF_Main::CB_SoundChange(int index)
{
    m_measuring.CB_SoundChange(index);
}

void TF_Main::CB_SpeakNumChange(int index)
{
    m_measuring.CB_SpeakNumChange(index);
}

void TF_Main::showSoundChoice()
{
    const SoundOptions &sound = m_measuring.sound();
    CB_Sound->setCurrentIndex(sound.device);
    CB_SpeakNum->setCurrentIndex(sound.readingMode);
    const bool card = sound.device == SoundOptions::SoundCard;
    L_SpeakNum->setEnabled(card);
    CB_SpeakNum->setEnabled(card);
}
