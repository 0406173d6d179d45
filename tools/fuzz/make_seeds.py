#!/usr/bin/env python3
# Writes the seed inputs of every fuzz target into OUT/<target>/: small inputs
# made here, and the reference data's files that the reader takes (small ones
# whole; larger ones cut, as the targets bound their inputs anyway).
#   make_seeds.py OUT DATA
import glob, gzip, os, shutil, struct, sys, zlib

out, data = sys.argv[1], sys.argv[2]
if not data.endswith('/'):
    data += '/'
CUT = 65536


def put(target, name, content):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(content if isinstance(content, bytes) else content.encode('utf-8'))


def put_files(target, patterns, cut=CUT):
    for pattern in patterns:
        for path in sorted(glob.glob(data + pattern)):
            with open(path, 'rb') as f:
                put(target, os.path.basename(path), f.read(cut))


def obs_line(day, code='G96', note=' ', ref='      '):
    return '     K24A01A  %s2024 01 %s 10 00 00.00 +10 00 00.0          18.5 V%s%s' % (note, day, ref, code)


# --- observations (80-column, ADES XML and PSV)
obs80 = '\r\n'.join([obs_line('10.50000'), obs_line('11.50000', '703'),
                     '     K24A01A  S2024 01 12.25000 10 01 00.00 +10 01 00.0          18.6 V      C51',
                     '     K24A01A  s2024 01 12.25000 1 -1234.5678 +2345.6789 -3456.7890        C51',
                     '     K24A01A  V2024 01 13.25000 10 01 00.00 +10 01 00.0          18.6 V      247',
                     '     K24A01A  v2024 01 13.25000 1 249.12345 +32.12345   2000        247']) + '\r\n'
put('observations', 'obs80.obs', obs80)
put('observations', 'obs80_utf16.obs', b'\xff\xfe' + obs80.encode('utf-16-le'))
put('observations', 'ades.xml', '<?xml version="1.0"?>\n<ades version="2022"><obsBlock><obsData>\n<optical>'
    '<provID>2022 KW</provID><stn>T12</stn><mode>CCD</mode><obsTime>2023-06-15T13:44:30.18Z</obsTime>'
    '<ra>325.589699</ra><dec>+0.560433</dec><mag>21.3</mag><band>G</band></optical>\n</obsData></obsBlock></ades>\n')
put('observations', 'ades.psv', 'permID|provID|trkSub|mode|stn|obsTime|ra|dec|mag|band\n'
    '|2022 KW||CCD|T12|2023-06-15T13:44:30.18Z|325.589699|+0.560433|21.3|G\n')
put_files('observations', ['obs/ades/*.xml', 'obs/ades/*.psv', 'obs/ades/*.obs', 'obs/neocp_like/*',
                           'obs/mpc80/neosjl_2005TM173.txt', 'obs/mpc80/oorb_K08K42V.mpc',
                           'obs/mpc80/orbitfinder_1I.txt', 'obs/mpc80/neosjl_mpec_2014-R71.dat',
                           'fuzz/ades_unclosed_tags_20k.xml'])

# --- stations
stations = ('Code  Long.   cos      sin    Name\r\n000   0.0000 0.62411 +0.77873 Greenwich\r\n'
            'C51                           WISE\r\nG96 249.21128 0.845107+0.533611University of Arizona\r\n')
put('stations', 'stations.txt', stations)
put('stations', 'stations_utf16.txt', b'\xff\xfe' + stations.encode('utf-16-le'))
put('stations', 'stations_cp932.txt', (stations + 'Q01 139.5430 0.81000 +0.58400 国立天文台\r\n').encode('cp932'))
put_files('stations', ['fuzz/station_blank_line.txt'])

# --- observatory-code page
put('obscode_update', 'page.html', '<html><body><pre>\nCode  Long.   cos      sin    Name\n'
    '000   0.0000 0.62411 +0.77873 Greenwich\nG96 249.21128 0.845107+0.533611Mt. Lemmon &amp; &lt;x&gt;\n'
    'A00  10.0000 0.50000 +0.80000 New site\n</pre></body></html>\n')
put_files('obscode_update', ['obscodes/ObsCodes.html'])

# --- NEOCP list
put('neocp', 'list.json', '[{"Temp_Desig": "A1", "Score": 100, "Discovery_year": 2025, "Discovery_month": 12, '
    '"Discovery_day": 16.3, "R.A.": 6.124, "Decl.": 20.1517, "V": 20.3, "Updated": "Added Dec. 16.73 UT", '
    '"NObs": 2, "Arc": 0.0, "H": 29.6, "Not_Seen_dys": 0.495}, {"Temp_Desig": "B2", "R.A.": null}]\n')
put_files('neocp', ['catalogues/neocp_json_derived_from_neosjl_neocp_txt.json', 'fuzz/neocp_*.json'], 16384)

# --- comet list
comet = ''.join((packed.ljust(102) + name + '\r\n') for packed, name in
                [('0001P', '1P/Halley'), ('0073P      b', '73P-B/Schwassmann-Wachmann'),
                 ('    CJ95O010', 'C/1995 O1 (Hale-Bopp)'), ('    PK99X02c', 'P/1999 X2-C (Frag)')])
put('comet_list', 'AllCometEls.txt', comet * 3)
put_files('comet_list', ['catalogues/*CometEls.txt'])

# --- the observation service's answer
put('obs_service', 'reply.json', '[{"OBS80": "' + obs_line('10.50000', ref='MPC001') + '\\n' +
    obs_line('10.50001') + '\\n", "designation": "2024 AA"}]')
put('obs_service', 'refusal.json', '{"message": "No observations found"}')

# --- element files and catalogues
put_files('elements', ['catalogues/*MPCORB*', 'catalogues/*CometEls.txt', 'catalogues/findorb_mpcorb.hdr'])
put('elements', 'short.txt', '00433    10.4   0.15  K24AH 310.55432  178.81764  304.29945  10.82860  0.2228410  '
    '0.55982394   1.4583246  0 MPO123456  9000 100 1893-2024 0.30 M-v 3Ek Eros\r\n')

# --- DE files
put_files('jpl', ['de/excerpts/*.4[0-9][0-9]', 'fuzz/de_header_span_overflow.bin'], 131072)

# --- mpeph.dat: one asteroid, three epochs
header = b'TSMPEPH1' + struct.pack('<ii dd', 1, 3, 2451545.0, 40.0) + struct.pack('<8i', 1, 0, 0, 0, 0, 0, 0, 0)
header += struct.pack('<7d', 4.719142e-10, 0, 0, 0, 0, 0, 0) + struct.pack('<d', 2451545.0) + bytes(32)
records = b''.join(struct.pack('<7d', 2451545.0 + 40 * k, 2451500.0, 2.55, 0.0785, 1.28, 1.40, 0.185) for k in range(3))
put('mpeph', 'mpeph.dat', header + records)

# --- settings
put('settings', 'Tessarune.INI', '[SYSTEM]\r\nDE441FILE=/x/de441.bin\r\nOBSTZ=9\r\n[OPTION]\r\nSTEP=1\r\n')
put('settings', 'utf16.INI', b'\xff\xfe' + '[SYSTEM]\r\nSIGNATURE=山田\r\n'.encode('utf-16-le'))
put_files('settings', ['fuzz/ini_double_bom.ini'])

# --- text in its encodings
text = '観測所 Greenwich ｶﾀｶﾅ 2024\r\n'
put('text', 'utf8.txt', '\ufeff' + text)
put('text', 'cp932.txt', text.encode('cp932'))
put('text', 'utf16.txt', b'\xff\xfe' + text.encode('utf-16-le'))
put('text', 'latin1.txt', 'caf\xe9\r\n'.encode('latin-1'))

# --- gzip: small texts at several levels, one with every optional header field
texts = [b"a\r\nb\n", b"no line feed at the end", b"\n\n\r\n",
         b"".join(b"%05d  C2024 01 %02d.12345 12 34 56.78 +12 34 56.7          18.5 V      500\r\n" % (i, i % 28)
                  for i in range(300)),
         bytes(range(256)) * 20]
for i, t in enumerate(texts):
    for level in (0, 1, 6, 9):
        put('gzip', 'seed_%d_%d.gz' % (i, level), gzip.compress(t, compresslevel=level, mtime=0))
t = texts[3]
c = zlib.compressobj(9, zlib.DEFLATED, -15)
body = c.compress(t) + c.flush()
head = b"\x1f\x8b\x08\x1e" + b"\0" * 6 + struct.pack("<H", 3) + b"xyz" + b"name\0" + b"comment\0" + b"\0\0"
put('gzip', 'seed_flags.gz', head + body + struct.pack("<II", zlib.crc32(t), len(t)))
