#include "DemoFiles.h"

#include "config/ConfigBuilder.h"

std::string demoConfiguration()
{
    ConfigSource s;
    s.inFlashCount = 1;
    s.nandCount = 2;
    s.targetEntries = {{1, "boot.bin", 0, kTargetInFlash, 0}, {1, "app.bin", 100, kTargetNand, 0},
                       {1, "fat.img", 900, kTargetNand, 1}};
    s.downloadSpeed = 5;
    s.buzzer = "ON";
    s.chip = "SOLVAN";
    s.crystal = "11289600";
    s.fatVerify = "Enable";
    s.erase = "Disable";
    ConfigText text;
    BuildConfigText(text, s);
    return text.sentText(3);
}

void giveDemoFiles(EmulatedWriter& writer)
{
    writer.clearFiles();
    writer.setFile("boot.bin", std::string(4096, '\x5A'));
    writer.setFile("app.bin", std::string(65536, '\xA5'));
    writer.setFile("fat.img", std::string(1024, '\0'));
    writer.setFile("config.ini", demoConfiguration());
}
