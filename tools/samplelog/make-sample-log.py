#!/usr/bin/env python3
"""Writes a real-looking 30-contact ADIF log for trying label sheets and cards by hand:
stations worked more than once, a QSL manager, satellite contacts, a band without frequency,
cards received and some contacts already sent.

usage: make-sample-log.py OUT.adi
"""
import sys

# (call, date, time, MHz or "", band, mode, submode, rst, extra fields)
CONTACTS = [
    ("DL1ABC", "20260103", "0712", "7.074", "40m", "FT8", "", "-08", {}),
    ("JA1XYZ", "20260103", "2205", "14.074", "20m", "FT8", "", "-15", {"QSL_VIA": "JA1QSL"}),
    ("DL1ABC", "20260110", "1530", "14.074", "20m", "FT8", "", "-12", {"QSL_RCVD": "Y"}),
    ("W1AW", "20260111", "1802", "14.025", "20m", "CW", "", "579", {}),
    ("EA8/OH2BH", "20260112", "1044", "21.295", "15m", "SSB", "", "59", {"QSL_VIA": "OH2BH"}),
    ("F5XYZ", "20260112", "2040", "", "80m", "CW", "", "599", {}),
    ("VK2ABC", "20260114", "0730", "14.195", "20m", "SSB", "", "55", {}),
    ("DL1ABC", "20260115", "1902", "3.573", "80m", "FT8", "", "-20", {}),
    ("G0ABC", "20260117", "1200", "145.950", "2m", "FM", "", "59", {"SAT_NAME": "SO-50", "PROP_MODE": "SAT"}),
    ("PY2AA", "20260118", "2210", "28.074", "10m", "FT8", "", "-03", {}),
    ("OE3XYZ", "20260120", "0815", "7.030", "40m", "CW", "", "599", {"QSL_SENT": "Y"}),
    ("JA1XYZ", "20260121", "2301", "21.074", "15m", "MFSK", "FT4", "-10", {}),
    ("SV1ABC", "20260122", "1410", "18.100", "17m", "FT8", "", "-07", {"QSL_SENT": "Q"}),
    ("G0ABC", "20260124", "1303", "435.300", "70cm", "FM", "", "57", {"SAT_NAME": "AO-91", "PROP_MODE": "SAT"}),
    ("K1ABC/VE3", "20260125", "0122", "10.136", "30m", "FT8", "", "-18", {}),
    ("ZL1XYZ", "20260126", "0655", "14.074", "20m", "FT8", "", "-21", {"QSL_RCVD": "Y"}),
    ("HB9XYZ", "20260127", "1733", "", "40m", "SSB", "", "57", {}),
    ("DL1ABC", "20260128", "0930", "50.313", "6m", "FT8", "", "-11", {}),
    ("LA5ABC", "20260130", "1011", "24.915", "12m", "FT8", "", "-09", {"QSL_SENT": "R"}),
    ("W1AW", "20260131", "1900", "7.040", "40m", "CW", "", "559", {}),
    ("3D2ABC", "20260201", "0540", "14.090", "20m", "RTTY", "", "599", {"QSL_VIA": "M0OXO"}),
    ("EA8/OH2BH", "20260202", "1120", "28.495", "10m", "SSB", "", "58", {"QSL_VIA": "OH2BH"}),
    ("F5XYZ", "20260203", "2111", "", "40m", "CW", "", "579", {"QSL_RCVD": "Y"}),
    ("I2ABC", "20260204", "1615", "14.285", "20m", "SSB", "", "59", {}),
    ("JA1XYZ", "20260206", "2235", "7.041", "40m", "FT8", "", "-16", {}),
    ("ON4ABC", "20260207", "1005", "144.174", "2m", "FT8", "", "-14", {}),
    ("G0ABC", "20260208", "1345", "145.900", "2m", "FM", "", "55", {"SAT_NAME": "ISS", "PROP_MODE": "SAT"}),
    ("VE7ABC", "20260210", "0350", "3.790", "80m", "SSB", "", "46", {"QSL_SENT": "Y"}),
    ("DL1ABC", "20260211", "0812", "1.840", "160m", "FT8", "", "-19", {}),
    ("CT1ABC", "20260212", "1925", "10.120", "30m", "CW", "", "589", {}),
]


def field(name, value):
    return f"<{name}:{len(value.encode('utf-8'))}>{value}"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    lines = ["Sample log for Velmora's label sheets\n", field("ADIF_VER", "3.1.4"),
             field("PROGRAMID", "make-sample-log"), "<EOH>\n"]
    for call, date, time, mhz, band, mode, submode, rst, extra in CONTACTS:
        fields = [field("CALL", call), field("QSO_DATE", date), field("TIME_ON", time)]
        if mhz:
            fields.append(field("FREQ", mhz))
        fields += [field("BAND", band), field("MODE", mode)]
        if submode:
            fields.append(field("SUBMODE", submode))
        fields += [field("RST_SENT", rst), field("RST_RCVD", "59" if mode == "SSB" else "599"),
                   field("STATION_CALLSIGN", "G4XYZ")]
        fields += [field(k, v) for k, v in extra.items()]
        lines.append(" ".join(fields) + " <EOR>\n")
    assert len(CONTACTS) == 30
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        out.write("".join(lines))


if __name__ == "__main__":
    main()
