#pragma once
// The user-interface scale: one factor for the whole program, read whenever a value in the scaled
// unit "*" is read, so a change shows at the next layout without restyling.

// 1.0 at start.
float GetUiScale();
// Stores the factor kept within 0.5 to 3.0. Callers that change it relayout and repaint themselves.
void SetUiScale(float scale);
