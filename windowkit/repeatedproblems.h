#pragma once
// A problem that may repeat for every file of a long add (the missing files
// of a list, files that cannot be read or copied) is asked about once for
// its kind: the first asks whether to go on past every such file or to stop;
// later ones of that kind follow the answer without a box, and those passed
// over are counted for the window's status. A single name, or the last of a
// list, has nothing to go on to and gets the plain OK box.

#include <QString>

#include <map>

#include "platform/messageboxes.h"

class RepeatedProblems {
public:
    // An add begins: nothing asked, nothing passed over. several: it may
    // meet more than one name (a list of more than one, a walk).
    void begin(bool several);
    // A walk inside an add of a list (a dropped folder) has names after
    // this one.
    void setSeveral(bool several) { several_ = several; }
    // The name now handled is the list's last; a walk never knows it.
    void setLast(bool last) { last_ = last; }

    // kind: any number the caller gives each kind of problem. The message
    // is shown as given (OK only) when nothing follows, else with Yes and
    // No and the question appended. True: pass over the file and go on;
    // false: the user chose to stop the add.
    bool pass(int kind, const MessageRequest& message);

    // Files passed over without a box in this add.
    int passedOver() const { return passedOver_; }
    // text, followed by how many more files were passed over when any were.
    QString withPassedOver(const QString& text) const;

    // What the question adds to the problem's own text.
    static QString goOnQuestion();

private:
    bool several_ = false;
    bool last_ = false;
    std::map<int, bool> answers_;  // kind -> go on
    int passedOver_ = 0;
};
