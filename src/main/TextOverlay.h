#pragma once

// Text over the main window, in window pixels: the list of every key and mouse action
// (? or F1), and the hint shown while no photograph is loaded. GL state other than the
// colour is left as it was found.
void drawKeyOverlay(int windowWidth, int windowHeight);
void drawNoPhotographHint(int windowWidth, int windowHeight);
