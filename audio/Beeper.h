#pragma once

// Sounds a tone of a frequency for a time; returns when it has ended. Called
// on the beep worker's thread.
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void Beep(int frequencyHz, int durationMs) = 0;
    // Whether a tone can be heard at all (there is a sound output); asked on
    // the window thread.
    virtual bool audible() const { return true; }
};
