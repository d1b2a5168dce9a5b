#pragma once

// What the inspector hears about: each event has its recording and its tone.
// The numbers are the events' codes as the program has always numbered them.
enum class FeedbackEvent {
    NoMoreMeasurements = 0,
    MeasurementOk = 1,
    NextPoint = 2,
    CannotMeasure = 3,
};
