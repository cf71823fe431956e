#pragma once
// The lines chosen in the control-line dialog, read by lap cutting. They
// outlive the dialog and stay as they are for the next import.

namespace vel {

// A line between two end points, degrees.
struct LineEnds {
    long double Ido1 = 0, Kdo1 = 0;   // end 1: latitude, longitude
    long double Ido2 = 0, Kdo2 = 0;   // end 2
};

struct LineChoice {
    LineEnds CtrlLine;        // the control line, or the start line
    LineEnds FinLine;         // the goal line
    bool CtrlLineSet = false; // circuit laps at CtrlLine
    bool StaLineSet = false;  // CtrlLine holds a start line
    bool FinLineSet = false;  // FinLine holds a goal line
    bool RallySta = false;    // a run's time counts from the whole minute of its start
};

} // namespace vel
