# Latency distribution of the job benchmarks, as a cumulative share of jobs
# over milliseconds (log scale). Run by `./dev bench`:
#   gnuplot -e "results='DIR'; output='FILE.svg'" bench/latency.gp
set terminal svg size 800,450 dynamic font "sans,12" background "white"
set output output
set title "Start file to FINESCO"
set xlabel "milliseconds (log scale)"
set ylabel "share of jobs"
set logscale x
set yrange [0:1]
set grid
set key right bottom
plot results."/start_to_finesco.dat" using 1:(1.0) smooth cnormal with steps lw 2 \
       title "one-line job to an idle server, polling every 1 s", \
     results."/back_to_back.dat" using 1:(1.0) smooth cnormal with steps lw 2 \
       title "40-line jobs back to back, polling every 100 ms"
