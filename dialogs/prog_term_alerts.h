// The two alerts about the programming terminal on the converter's line: an
// information icon, no caption, the headline and explanation in the language
// of the interface, a single OK button and the check box "show next time".
// Both are modal and return the box's state when the user closed the alert;
// 'showNextTime' is its state when the alert opens.
#pragma once

bool ShowProgTermConnectedAlert(bool showNextTime);
bool ShowProgTermDisconnectedAlert(bool showNextTime);
