#pragma once

struct Point2f {
    float x;
    float y;
};
