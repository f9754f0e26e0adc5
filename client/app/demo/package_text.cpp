#include "client/app/demo/package_text.h"

#include "common/text_scrambler.h"

std::string PlainPackageText() {
  return "application_pkg:/download/VelzarSetup.run;application_folder:VelzarMeet;application_ver:" VZ_DEMO_ADD_ON_VERSION
         ";application_name:VelzarHub";
}

std::string ScrambledPackageText() {
  std::string once, twice;
  vz::ScrambleHexText(PlainPackageText(), 4096, &once);
  vz::ScrambleHexText(once, 4096, &twice);
  return twice;
}
