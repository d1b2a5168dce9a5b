#pragma once

#include "PcmOutput.h"
#include "SoundModuleEntry.h"

#include <QLibrary>
#include <QString>
#include <memory>
#include <mutex>

// The sound card's output comes from a module of its own beside the program
// (KromaglenSound), loaded with the first sound: a program that stays silent
// never loads the audio libraries and the sound server's client. A module
// that cannot be loaded counts as a computer without a sound output: the
// players fail as they do there, and the program says so in the same words.
// Outputs may be made and used on any thread; the module loads once.
class SoundModule
{
public:
    explicit SoundModule(const QString &folder);
    SoundModule(const SoundModule &) = delete;
    SoundModule &operator=(const SoundModule &) = delete;

    // An output that loads the module when it is first asked anything.
    std::unique_ptr<PcmOutput> output();
    // Loads the module if it is not loaded yet: whether there is a sound output.
    bool available();
    // Whether the module has been loaded, and why it could not be (empty
    // until a load has failed).
    bool loaded() const;
    QString loadError() const;

    // An output made by the module now, loading it first; without a sound
    // output when the module cannot be loaded.
    std::unique_ptr<PcmOutput> create();

private:
    SoundModuleEntry::Create entry();

    QLibrary m_library;
    mutable std::mutex m_lock;
    bool m_tried = false;
    SoundModuleEntry::Create m_create = nullptr;
    QString m_error;
};
