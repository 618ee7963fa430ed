#include "windowkit/repeatedproblems.h"

void RepeatedProblems::begin(bool several)
{
    several_ = several;
    last_ = false;
    answers_.clear();
    passedOver_ = 0;
}

bool RepeatedProblems::pass(int kind, const MessageRequest& message)
{
    const auto known = answers_.find(kind);
    if (known != answers_.end()) {
        if (known->second)
            ++passedOver_;
        return known->second;
    }
    if (!several_ || last_) {
        MessageRequest told = message;
        told.buttons = MessageButtons::Ok;
        ShowMessage(told);
        answers_[kind] = true;
        return true;
    }
    MessageRequest question = message;
    question.text += goOnQuestion();
    question.buttons = MessageButtons::YesNo;
    const bool goOn = ShowMessage(question) == MessageAnswer::Yes;
    answers_[kind] = goOn;
    return goOn;
}

QString RepeatedProblems::withPassedOver(const QString& text) const
{
    if (passedOver_ == 0)
        return text;
    return text + QStringLiteral(" %1 more files passed over.").arg(passedOver_);
}

QString RepeatedProblems::goOnQuestion()
{
    return QStringLiteral("\n\nGo on with the other files? Any more like this one are then passed over without asking.");
}
