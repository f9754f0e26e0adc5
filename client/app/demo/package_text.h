#pragma once
// The package text a start request carries, scrambled twice as the web page
// sends it. With upgrades disabled, vzbridge starts the client named here
// from its own folder without a version check.
#include <string>

std::string PlainPackageText();
std::string ScrambledPackageText();
