#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "FeedbackEvent.h"

class Beeper;

// The feedback beeps, played one after another on a thread of their own so
// that the window never waits for a beep. The worker starts when a code is
// queued and ends by itself when it finds the queue empty; both happen under
// the queue's lock, so no code is ever lost or played twice.
class BeepWorker
{
public:
    explicit BeepWorker(Beeper &beeper);
    ~BeepWorker();

    // The tone of a feedback event: {Hz, ms}.
    static std::pair<int, int> tone(FeedbackEvent event);

    void enqueue(FeedbackEvent event);
    // Drops what is queued, waits out a beep under way; later codes are ignored.
    void stop();
    bool running() const;

private:
    void ITC_PlaySound();
    bool ITC_PlaySoundRun();

    Beeper &m_beeper;
    mutable std::mutex m_lock;
    std::deque<FeedbackEvent> m_queue; // the FeedbackQueue
    std::thread m_thread;
    bool m_running = false;
    bool m_stopped = false;
};
