#pragma once
#include <QIcon>

// The program's icon, drawn in code: a writer with its USB plug.
QIcon makeAppIcon();
