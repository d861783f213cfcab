// The GIF encoder: image model, colour reduction and dithering, LZW compression and the
// stream writer. Plain C++, no global state; one image is used from one thread.
#pragma once

#include "Bitmap.h"
#include "ColorLookup.h"
#include "ColorQuantizer.h"
#include "DitherEngine.h"
#include "ErrorDiffusionDitherers.h"
#include "FloydSteinbergDitherer.h"
#include "GIFApplicationExtension.h"
#include "GIFColorMap.h"
#include "GIFException.h"
#include "GIFExtension.h"
#include "GIFGraphicControlExtension.h"
#include "GIFHeader.h"
#include "GIFImage.h"
#include "GIFSubImage.h"
#include "GifStream.h"
#include "GifTypes.h"
#include "LZWEncoder.h"
#include "ReduceColors.h"
