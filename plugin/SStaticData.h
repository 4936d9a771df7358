#pragma once
// Process-wide GUI state built at load time. (Minimal for now: the colour
// table and the shared pen, brush and font lists join with the drawing layer.)

class SStaticData {
public:
    SStaticData();
    ~SStaticData();
    SStaticData(const SStaticData&) = delete;
    SStaticData& operator=(const SStaticData&) = delete;

    bool coloursLoaded = false;
};

extern SStaticData statdata;
