#pragma once

// The pictures built into the window's library (the placeholder thumbnail,
// the application icon). A static library's resources are only linked in
// when something asks for them.
class QStyle;
namespace Ui {
class MainWindow;
}

namespace Resources {

// Registers them; idempotent.
void init();

// The desktop's own icons on the window's actions where its theme has them,
// the style's otherwise.
void setThemeIcons(Ui::MainWindow &ui, const QStyle *style);

}
