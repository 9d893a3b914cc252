// The plane pictures of a render project: the background plane under each
// image and the foreground plane over it, both loaded into the result slot
// with the running image number as the frame, so that an animated plane
// picture moves with the animation.
#pragma once

#include "renderer/app/render_project.h"

namespace tessaran {

// Renderer messages of the planes.
constexpr int kMsgBackPlaneFailed = 117;   // "Affichage plan arriere impossible"
constexpr int kMsgFrontPlaneFailed = 120;  // "Affichage plan avant impossible"

// Whether the frame loop loads the background plane itself: the ray tracer
// creates the result slot and loads the plane into it as it starts an
// image; the other modes draw over the slot the frame loop prepared.
bool FrameLoopLoadsBackPlane(const RenderProject& project);

// Creates the result slot at the project's image size (black) and loads the
// background-plane picture into it opaque, stretched to that size. False
// when the picture cannot be loaded (the image then starts black) or the
// slot cannot be made; message 117 tells it unless `reported` says it was
// told already in this render (it is set then).
bool LoadBackPlane(const RenderProject& project, int imageNumber, bool& reported);

// Loads the foreground-plane picture over the image in the result slot,
// black transparent so that the image shows through it. False when there
// is no image or the picture cannot be loaded, the image then left as it
// was computed; message 120 tells it once, as above.
bool LoadFrontPlane(const RenderProject& project, int imageNumber, bool& reported);

}  // namespace tessaran
