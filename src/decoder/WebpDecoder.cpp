#include "decoder/WebpDecoder.h"

#include <webp/decode.h>

DecodeStatus decodeWebp(FileBytes file, DecodedPicture& picture)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode header = WebPGetFeatures(file.data, file.size, &features);
    if (header == VP8_STATUS_NOT_ENOUGH_DATA)
        return DecodeStatus::failed(truncatedFile);
    if (header != VP8_STATUS_OK)
        return DecodeStatus::failed(damagedFile);
    picture.width = features.width;
    picture.height = features.height;
    if (!sizeAccepted(features.width, features.height))
        return DecodeStatus::sizeRefused(features.width, features.height);
    if (features.has_animation)
        return DecodeStatus::failed(unsupportedKind);
    picture.allocate(features.width, features.height, features.has_alpha ? 4 : 3, 1);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return DecodeStatus::failed(unsupportedKind);
    config.output.colorspace = features.has_alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.samples.data();
    config.output.u.RGBA.stride = static_cast<int>(picture.rowBytes());
    config.output.u.RGBA.size = picture.samples.size();
    const VP8StatusCode status = WebPDecode(file.data, file.size, &config);
    WebPFreeDecBuffer(&config.output);  // frees nothing of ours: the memory is external
    if (status == VP8_STATUS_NOT_ENOUGH_DATA)
        return DecodeStatus::failed(truncatedFile);
    if (status != VP8_STATUS_OK)
        return DecodeStatus::failed(damagedFile);
    return DecodeStatus();
}
