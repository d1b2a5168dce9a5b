#include "SoundModule.h"

#include <QDir>
#include <QtDebug>

namespace {

// The output of a computer without a sound output (or without the module).
class NoPcmOutput : public PcmOutput
{
public:
    bool available() const override { return false; }
    bool supports(const PcmFormat &) const override { return false; }
    bool start(const PcmFormat &, int) override { return false; }
    qint64 room() const override { return 0; }
    void write(QByteArrayView) override {}
    void stop() override {}
    qint64 written() const override { return 0; }
    qint64 played() const override { return 0; }
};

// Stands for the module's output until it is first needed: a player made at
// start-up costs nothing until it plays.
class DeferredPcmOutput : public PcmOutput
{
public:
    explicit DeferredPcmOutput(SoundModule &module) : m_module(module) {}

    bool available() const override { return real().available(); }
    bool supports(const PcmFormat &format) const override { return real().supports(format); }
    bool start(const PcmFormat &format, int bufferMs) override
    {
        return real().start(format, bufferMs);
    }
    qint64 room() const override { return m_real ? m_real->room() : 0; }
    void write(QByteArrayView pcm) override
    {
        if (m_real)
            m_real->write(pcm);
    }
    void stop() override
    {
        if (m_real)
            m_real->stop();
    }
    qint64 written() const override { return m_real ? m_real->written() : 0; }
    qint64 played() const override { return m_real ? m_real->played() : 0; }

private:
    PcmOutput &real() const
    {
        if (!m_real)
            m_real = m_module.create();
        return *m_real;
    }

    SoundModule &m_module;
    mutable std::unique_ptr<PcmOutput> m_real;
};

} // namespace

SoundModule::SoundModule(const QString &folder)
    : m_library(QDir(folder).filePath(QString::fromLatin1(SoundModuleEntry::kFileName)))
{
}

std::unique_ptr<PcmOutput> SoundModule::output()
{
    return std::make_unique<DeferredPcmOutput>(*this);
}

bool SoundModule::available()
{
    return create()->available();
}

bool SoundModule::loaded() const
{
    std::lock_guard guard(m_lock);
    return m_create != nullptr;
}

QString SoundModule::loadError() const
{
    std::lock_guard guard(m_lock);
    return m_error;
}

std::unique_ptr<PcmOutput> SoundModule::create()
{
    if (const SoundModuleEntry::Create make = entry()) {
        if (PcmOutput *made = make(SoundModuleEntry::kVersion))
            return std::unique_ptr<PcmOutput>(made);
    }
    return std::make_unique<NoPcmOutput>();
}

SoundModuleEntry::Create SoundModule::entry()
{
    std::lock_guard guard(m_lock);
    if (std::exchange(m_tried, true))
        return m_create;
    if (!m_library.load()) {
        m_error = m_library.errorString();
    } else {
        m_create = reinterpret_cast<SoundModuleEntry::Create>(
            m_library.resolve(SoundModuleEntry::kFunction));
        if (!m_create)
            m_error = m_library.errorString();
        else if (!std::unique_ptr<PcmOutput>(m_create(SoundModuleEntry::kVersion)))
            m_error = QStringLiteral("%1 is of another version").arg(m_library.fileName());
    }
    if (!m_error.isEmpty()) {
        m_create = nullptr;
        qWarning().noquote() << "No sound output: the sound card module cannot be loaded:"
                             << m_error;
    }
    return m_create;
}
