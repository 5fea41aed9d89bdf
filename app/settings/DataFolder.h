#pragma once

// Where the program keeps settings.dat, passwords.rss and recent_files.rss.
// A portable copy keeps them beside itself, as the program always has. An
// installed one (its folder not writable by the user, or its empty
// settings.dat shipped in the data folder of its prefix) keeps them in the
// user's data folder, $XDG_DATA_HOME/VelkorCrypto, by default
// ~/.local/share/VelkorCrypto.

#include <QString>

namespace vk {

struct ProgramPlace {
  QString programFolder;  // the folder of the executable
  bool programFolderWritable = false;
  QString shippedSettings;  // the empty settings.dat an installation ships
  QString xdgDataHome;      // as set; empty or relative means unset
  QString home;
};

struct DataFolder {
  QString path;
  QString problem;  // why the folder cannot be used, for the user; empty when it can
};

// The place of the running program.
ProgramPlace CurrentProgramPlace();

// Chooses the folder. For an installed program it creates the user's folder
// (mode 0700, as any parent it has to create) and, on the first start,
// copies the shipped settings.dat into it; a settings file already there is
// never replaced. A portable copy is used as it stands: a settings.dat
// missing there is for the start-up to report.
DataFolder PrepareDataFolder(const ProgramPlace& place);

}  // namespace vk
