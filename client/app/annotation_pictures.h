#pragma once
// Pictures of the annotation windows for the picture tool: the overlay with
// one element of every kind over a sample screen, the tool bar with a shape
// tool on, and the colour menu.
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/headless.h"
#include "platform/ui/image.h"

std::vector<std::string> AnnotationPictureNames();
// Nothing for a name that is not an annotation picture.
std::optional<vz::Image> RenderAnnotationPicture(const std::string& name, vz::HeadlessWindowSystem& system);
