#pragma once

#include <QString>
#include <functional>

// A yes/no question to the person, asked without waiting for the answer: the
// answer arrives later, as an event of its own, and the caller goes on from
// there. Cancel: the question could not be asked (its dialog failed).
class Asker
{
public:
    enum class Answer { Yes, No, Cancel };
    using Answered = std::function<void(Answer answer)>;

    virtual ~Asker() = default;
    // One question at a time.
    virtual void ask(const QString &message, const QString &question, Answered answered) = 0;
    // Takes an open question away unanswered (the program ends): its answer
    // never comes.
    virtual void withdraw() = 0;
};
