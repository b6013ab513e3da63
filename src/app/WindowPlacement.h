#pragma once
// The main window's position in the per-user profile: organisation
// "VREN_Kesto of Velmont", group "Initialization".

#include <QRect>

class QSettings;

struct WindowPlacement {
    int top = 0;
    int left = 0;
    int height = 539;
    int width = 1026;
};

inline constexpr const char* kProfileOrganisation = "VREN_Kesto of Velmont";
inline constexpr const char* kProfileApplication = "VREN_Kesto_Configurator";
inline constexpr const char* kProfileGroup = "Initialization";

WindowPlacement readWindowPlacement(QSettings& profile);
void writeWindowPlacement(QSettings& profile, const QRect& normalGeometry);
