// Image objects: the image registry, the load path from file to bitmap or icon, the readers
// and freeing. The platform seams (file reading, bitmap creation, icons, destroying handles)
// are in image_win.cpp and image_native.cpp.
// Platform-free.
#include "image/image.h"

#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/icon.h"
#include "image/record.h"
#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {
ObjectRegistry* g_images;

// A side above 32767 keeps its low 16 bits, read back signed: 40000 reads -25536.
int16_t side16(int32_t value) { return (int16_t)(uint16_t)((uint32_t)value & 0xFFFF); }

// A height may be negative (a top-down BMP): its size is what counts.
bool within(int32_t width, int32_t height, int32_t maxSide) {
  return width <= maxSide && height <= maxSide && height >= -maxSide;
}

// side x multiply / divide, rounded to the nearest, halves up (as MulDiv for sizes).
int32_t scaledSide(int32_t side, int32_t multiply, int32_t divide) {
  int64_t scaled = ((int64_t)side * multiply + divide / 2) / divide;
  return scaled > INT32_MAX || scaled < 0 ? 0 : (int32_t)scaled;
}

ImageRecord* liveRecord(intptr_t number) {
  if (!g_images) return nullptr;
  ImageRecord* record = (ImageRecord*)Registry_Get(g_images, number);
  return record && record->handle ? record : nullptr;
}

// A live record's bitmap described, its row order from the record: GDI describes a top-down DIB
// section as bottom-up, and only the record's negative height tells.
bool describe(const ImageRecord* record, BitmapView* view) {
  if (!Bitmap_Describe(record->handle, view)) return false;
  if (record->height < 0) view->bottomUp = false;
  return true;
}
}  // namespace

void Image_Start() { g_images = Registry_Create(sizeof(ImageRecord), 16, Image_Free); }

void Image_End() {
  if (g_images) Registry_FreeAll(g_images);
}

intptr_t Image_Load(intptr_t number, const Char16* fileName, uint32_t flags) {
  return Image_LoadWithin(number, fileName, flags, IMAGE_MAX_SIDE);
}

intptr_t Image_LoadWithin(intptr_t number, const Char16* fileName, uint32_t flags,
                          int32_t maxSide) {
  (void)flags;
  uint8_t* data;
  uint32_t size;
  // Every failure up to here leaves the number as it was: nothing has touched the registry.
  if (!image_detail::readWholeFile(fileName, &data, &size)) return 0;
  intptr_t result = Image_LoadMemory(number, data, size, maxSide);
  HeapFree(g_programHeap, 0, data);
  return result;
}

intptr_t Image_LoadMemory(intptr_t number, const uint8_t* data, uint32_t size, int32_t maxSide) {
  if (!g_images) return 0;
  // Frees the image the number held, if any, before the new data is examined.
  ImageRecord* record = (ImageRecord*)Registry_Allocate(g_images, number);
  if (!record) return 0;
  intptr_t id = number == OBJECT_DYNAMIC ? (intptr_t)record : number;

  HANDLE handle = nullptr;
  HICON icon = Icon_FromMemory(data, size);
  if (icon) {
    int32_t width, height, depth;
    if (!image_detail::describeIcon(icon, &width, &height, &depth) ||
        !within(width, height, maxSide)) {
      image_detail::destroyHandle(icon);
      Registry_Release(g_images, id);
      return 0;
    }
    record->width = side16(width);
    record->height = side16(height);
    record->depth = (uint8_t)depth;
    record->sourceDepth = (uint8_t)depth;
    record->format = FORMAT_ICON;
    record->frameCount = 1;
    handle = icon;
  } else {
    uint32_t format = ImageDecoder_Find(data, size);
    const DecodeContext* context = ImageDecoder_Context();
    // The header alone tells the size: a picture over the limit never gets a pixel buffer.
    if (format && !within(context->width, context->height, maxSide)) {
      ImageDecoder_Close();
      format = 0;
    }
    if (!format) {
      Registry_Release(g_images, id);
      return 0;
    }
    record->width = side16(context->width);
    record->height = side16(context->height);
    record->depth = (uint8_t)context->outputDepth;
    record->sourceDepth = (uint8_t)context->sourceDepth;
    record->format = format;
    record->frameCount = context->frameCount;
    handle = Bitmap_FromDecoder();
    ImageDecoder_Close();  // whether or not the bitmap was made
  }
  if (!handle) {
    Registry_Release(g_images, id);
    return 0;
  }
  // Stored last: until now the record counted as no object.
  record->handle = handle;
  return number == OBJECT_DYNAMIC ? id : (intptr_t)handle;
}

intptr_t Image_LoadScaled(intptr_t number, const Char16* fileName, int32_t maxSide,
                          int32_t multiply, int32_t divide, bool* resampled) {
  *resampled = false;
  intptr_t loaded = Image_LoadWithin(number, fileName, 0, maxSide);
  intptr_t id = number == OBJECT_DYNAMIC ? loaded : number;
  const ImageRecord* record = loaded ? liveRecord(id) : nullptr;
  if (!record || divide <= 0) return loaded;
  int32_t height = record->height < 0 ? -record->height : record->height;
  int32_t width = scaledSide(record->width, multiply, divide);
  int32_t shown = scaledSide(height, multiply, divide);
  if (width == record->width && shown == height) return loaded;
  if (width <= 0 || shown <= 0 || !Image_Resize(id, width, shown)) {
    Image_Free(id);
    return 0;
  }
  *resampled = true;
  return number == OBJECT_DYNAMIC ? id : Image_Handle(id);
}

intptr_t Image_Create(intptr_t number, int32_t width, int32_t height) {
  if (!g_images) return 0;
  ImageRecord* record = (ImageRecord*)Registry_Allocate(g_images, number);
  if (!record) return 0;
  intptr_t id = number == OBJECT_DYNAMIC ? (intptr_t)record : number;
  HANDLE handle = image_detail::blankBitmap(width, height, 24);
  if (!handle) {
    Registry_Release(g_images, id);
    return 0;
  }
  record->width = side16(width);
  record->height = side16(height);
  record->depth = 24;
  record->sourceDepth = 24;
  record->format = FORMAT_BMP;  // what it is: an uncompressed bitmap
  record->frameCount = 1;
  record->handle = handle;
  return number == OBJECT_DYNAMIC ? id : (intptr_t)handle;
}

int Image_Resize(intptr_t number, int32_t width, int32_t height) {
  ImageRecord* record = liveRecord(number);
  if (!record) return 0;
  BitmapView view;
  if (!describe(record, &view)) return 0;
  if (view.width == width && view.rows == height) return 1;
  HANDLE resized = image_detail::resizedBitmap(view, width, height);
  if (!resized) return 0;
  image_detail::destroyHandle(record->handle);
  record->handle = resized;
  record->width = side16(width);
  record->height = side16(height);
  return 1;
}

intptr_t Image_Copy(intptr_t number, intptr_t from) {
  ImageRecord* source = liveRecord(from);
  BitmapView view;
  if (!source || !describe(source, &view)) return 0;
  HANDLE copy = image_detail::copiedBitmap(view);
  if (!copy) return 0;
  // Read before the number's old image goes: it may be the source itself.
  ImageRecord made = *source;
  ImageRecord* record = (ImageRecord*)Registry_Allocate(g_images, number);
  if (!record) {
    image_detail::destroyHandle(copy);
    return 0;
  }
  made.handle = nullptr;
  if (made.height < 0) made.height = (int16_t)-made.height;  // the copy is bottom-up
  *record = made;
  record->handle = copy;  // stored last, as at loading
  return number == OBJECT_DYNAMIC ? (intptr_t)record : (intptr_t)copy;
}

const ImageRecord* Image_Record(intptr_t number) { return liveRecord(number); }

intptr_t Image_Handle(intptr_t number) {
  ImageRecord* record = liveRecord(number);
  return record ? (intptr_t)record->handle : 0;
}

int32_t Image_Width(intptr_t number) {
  ImageRecord* record = liveRecord(number);
  return record ? record->width : 0;
}

int32_t Image_Height(intptr_t number) {
  ImageRecord* record = liveRecord(number);
  return record ? record->height : 0;
}

void Image_Free(intptr_t number) {
  if (!g_images) return;
  if (number == OBJECT_ALL) {
    Registry_FreeAll(g_images);
    return;
  }
  ImageRecord* record = liveRecord(number);
  if (!record) return;
  image_detail::destroyHandle(record->handle);
  Registry_Release(g_images, number);
}
