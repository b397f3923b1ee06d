// Numbered images loaded from files through the decoder table.
#pragma once

#include "runtime/platform.h"

intptr_t Image_Load(intptr_t number, const Char16* fileName, uint32_t flags);
intptr_t Image_Handle(intptr_t number);
int32_t Image_Width(intptr_t number);
int32_t Image_Height(intptr_t number);
void Image_Free(intptr_t number);

void ImageDecoder_Start();
void BmpDecoder_Register();
void Image_Start();
void Image_End();
void PngDecoder_Register();
void AlphaBlend_Start();
void AlphaBlend_End();
