#pragma once
// Puts the animation elements into markup and the style animations into box styling.
void oxRegisterAnimationElements();
