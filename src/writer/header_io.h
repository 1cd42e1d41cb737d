// Writing the header's sections and the areas behind it into the database
// file. Each write takes the synchronous-control lock and puts the file
// position back where it found it.
#ifndef TAVRI_WRITER_HEADER_IO_H
#define TAVRI_WRITER_HEADER_IO_H

#include <cstdint>

struct txwObject;

namespace tavri::writer {

void WriteFixedSection(txwObject *obj);
void WriteOffsetAndStatisticsSections(txwObject *obj);
void WriteStatisticsSection(txwObject *obj);
// One field of the image, written in place.
void WriteHeaderField(txwObject *obj, uint32_t offset, uint32_t width);
// Composes the creation-environment record and writes it at 512.
void WriteEnvironmentRecord(txwObject *obj);
void WriteReservedArea(txwObject *obj);

}  // namespace tavri::writer

#endif
