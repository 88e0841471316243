// The setup script (setup.ini): its sections and keys, and the settings the
// start-up reads from it once.
#pragma once

constexpr int kPathSize = 260; // MAX_PATH, terminator included
constexpr int kTextSize = 255;

struct SetupSettings {
    char ApplicationTitle[kTextSize];
    char ApplicationVersion[kTextSize];
    char PublisherName[kTextSize];
    char PublisherUrl[kTextSize];
    int ShowReadme;
    int ShowLicense;
    int ShowUserInfo;
    int DoneShowReadme;
    int DoneShowLaunch;
    char DestinationDirectory[kPathSize]; // "destdir" as written, not expanded
    char DoneReadmePath[kPathSize];
    char DoneLaunchPath[kPathSize];
};
