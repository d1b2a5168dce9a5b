#include "BeepWorker.h"

#include "Beeper.h"

BeepWorker::BeepWorker(Beeper &beeper) : m_beeper(beeper) {}

BeepWorker::~BeepWorker()
{
    stop();
}

std::pair<int, int> BeepWorker::tone(FeedbackEvent event)
{
    switch (event) {
    case FeedbackEvent::NoMoreMeasurements:
        return {800, 500};
    case FeedbackEvent::MeasurementOk:
        return {600, 500};
    case FeedbackEvent::NextPoint:
        return {300, 500};
    case FeedbackEvent::CannotMeasure:
        return {900, 700};
    }
    return {0, 0};
}

void BeepWorker::enqueue(FeedbackEvent event)
{
    std::lock_guard guard(m_lock);
    if (m_stopped)
        return;
    m_queue.push_back(event);
    if (!m_running) {
        // A finished run has left the lock for good: joining it is immediate.
        if (m_thread.joinable())
            m_thread.join();
        m_running = true;
        m_thread = std::thread(&BeepWorker::ITC_PlaySound, this);
    }
}

void BeepWorker::stop()
{
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
        m_queue.clear();
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool BeepWorker::running() const
{
    std::lock_guard guard(m_lock);
    return m_running;
}

void BeepWorker::ITC_PlaySound()
{
    while (ITC_PlaySoundRun()) {
    }
}

bool BeepWorker::ITC_PlaySoundRun()
{
    FeedbackEvent event;
    {
        std::lock_guard guard(m_lock);
        if (m_queue.empty()) {
            m_running = false;
            return false;
        }
        event = m_queue.front();
        m_queue.pop_front();
    }
    const auto [hz, ms] = tone(event);
    if (ms > 0)
        m_beeper.Beep(hz, ms);
    return true;
}
