"""Runs the shared Blender round-trip script on many files in one Blender.

    blender -b --factory-startup --python tools/blender_roundtrips.py -- ROUNDTRIP.py JOBS.txt

Each line of JOBS.txt is one round trip: IN.glb, OUT.glb, EDIT, the truth
file and any further options of the script (--export export_yup=False),
separated by tabs. Starting Blender costs more than a round trip
of a small model, so the jobs share one. Prints "ROUNDTRIP<TAB>OUT<TAB>0" for
a job done and "...<TAB>1" for one that failed (its output is then missing);
the exit status is 0 unless the job list cannot be read.
"""
import runpy
import sys
import traceback


def main():
    args = sys.argv[sys.argv.index('--') + 1:] if '--' in sys.argv else []
    if len(args) != 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    script, jobs = args
    with open(jobs) as f:
        lines = [line.rstrip('\n').split('\t') for line in f if line.strip()]
    for job in lines:
        in_path, out_path, edit, truth = job[:4]
        sys.argv = ['blender', '--', in_path, out_path, edit, '--truth', truth] + job[4:]
        status = 0
        try:
            runpy.run_path(script, run_name='roundtrip')['main']()
        except BaseException:  # a usage error exits; a failed edit raises
            traceback.print_exc()
            status = 1
        print('ROUNDTRIP\t%s\t%d' % (out_path, status), flush=True)


main()
