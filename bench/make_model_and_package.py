#!/usr/bin/env python3
"""Makes the inputs of scripts/bench_model_mpkg.sh (Python standard library only).

  make_model_and_package.py OUT_FOLDER
    OUT_FOLDER/big.mmod   200 MB of model-like bytes naming 10,000 textures (some twice)
    OUT_FOLDER/big.mpkg   a package whose body inflates to 1 GiB
"""
import os
import random
import sys
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = random.Random(20261206)

# Model: vertex-like noise without NUL bytes or dots, with a NUL-led texture name every
# ~20 KB.
noise = bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz0123456789 \x01\x02\x7f") for _ in range(1 << 16))
with open(os.path.join(out, "big.mmod"), "wb") as f:
    written, names = 0, 0
    while written < 200_000_000:
        chunk = noise[rng.randrange(0, 40000):][:20000]
        name = b"\x00textures\\set%03d\\tex%05d.tga" % (names % 100, names % 10000)
        f.write(chunk + name)
        written += len(chunk) + len(name)
        names += 1

# Package: two leading bytes, then a zlib stream of 1 GiB of compressible data, made
# block by block so the generator needs little memory.
block = (b"mesh data " * 100 + noise[:1000]) * 64
with open(os.path.join(out, "big.mpkg"), "wb") as f:
    z = zlib.compressobj(6)
    total = 0
    while total < (1 << 30):
        piece = block[: min(len(block), (1 << 30) - total)]
        f.write(z.compress(piece))
        total += len(piece)
    f.write(z.flush())
