#pragma once

class QWidget;

// The main window comes back with the size and place the user left it at.
namespace WindowGeometry {

// Restores window's saved geometry now, and saves it each time the window
// closes (quitting closes it too). Kept in the application's settings.
void remember(QWidget *window);

}
