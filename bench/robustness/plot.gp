# Draws docs/robustness/robustness.png from docs/robustness/robustness.dat (run from the
# repository's top directory; scripts/robustness.sh does). Columns of the data: timing,
# calibration (0/1), room, clock offset (%), SNR (dB, 99 = clean), character error rate.
data = 'docs/robustness/robustness.dat'
set terminal pngcairo size 1800,520 font ',10'
set output 'docs/robustness/robustness.png'
set multiplot layout 1,3 title 'Character error rate of the sender''s timings (calibration sent first, 44100 Hz)'
set grid
set key top right
set ylabel 'character errors (%)'
set yrange [0:60]

# Rows of one timing and room with calibration, clock offset 0, by SNR ("clean" drawn at 35 dB).
bysnr(t, r) = sprintf("< awk '$1 == \"%s\" && $2 == 1 && $3 == \"%s\" && $4 == 0 { print ($5 == 99 ? 35 : $5), 100 * $6 }' %s | sort -n", t, r, data)
set title 'by SNR, no clock offset'
set xlabel 'SNR in the receiver''s band (dB); 35 = clean'
set xrange [-6:36]
plot bysnr('default', 'off') w lp lw 2 pt 7 t 'default, no room', \
     bysnr('default', 'mild') w lp lw 2 pt 5 t 'default, mild room', \
     bysnr('fast', 'off') w lp lw 1 pt 6 t 'fast, no room', \
     bysnr('fast', 'mild') w lp lw 1 pt 4 t 'fast, mild room', \
     bysnr('safe', 'off') w lp lw 1 dt 2 pt 8 t 'safe, no room', \
     bysnr('safe', 'mild') w lp lw 1 dt 2 pt 9 t 'safe, mild room', \
     bysnr('room', 'off') w lp lw 2 dt 3 pt 10 t 'room, no room', \
     bysnr('room', 'mild') w lp lw 2 dt 3 pt 11 t 'room, mild room'

# Rows of one timing and room with calibration at 20 dB, by clock offset.
byclock(t, r) = sprintf("< awk '$1 == \"%s\" && $2 == 1 && $3 == \"%s\" && $5 == 20 { print $4, 100 * $6 }' %s | sort -n", t, r, data)
set title 'by clock offset, 20 dB SNR'
set xlabel 'sender''s clock offset (%)'
set xrange [-2.2:2.2]
plot byclock('default', 'off') w lp lw 2 pt 7 t 'default, no room', \
     byclock('default', 'mild') w lp lw 2 pt 5 t 'default, mild room', \
     byclock('fast', 'off') w lp lw 1 pt 6 t 'fast, no room', \
     byclock('fast', 'mild') w lp lw 1 pt 4 t 'fast, mild room', \
     byclock('safe', 'off') w lp lw 1 dt 2 pt 8 t 'safe, no room', \
     byclock('safe', 'mild') w lp lw 1 dt 2 pt 9 t 'safe, mild room', \
     byclock('room', 'off') w lp lw 2 dt 3 pt 10 t 'room, no room', \
     byclock('room', 'mild') w lp lw 2 dt 3 pt 11 t 'room, mild room'

# Reverberant rooms: the simulator's strong room and SoX's reverb, by SNR, no clock offset.
set title 'reverberant rooms, by SNR, no clock offset'
set xlabel 'SNR in the receiver''s band (dB); 35 = clean'
set xrange [9:36]
set yrange [0:100]
plot bysnr('default', 'strong') w lp lw 2 pt 7 t 'default, strong room', \
     bysnr('default', 'sox60') w lp lw 1 pt 6 t 'default, sox reverb 60', \
     bysnr('default', 'sox80') w lp lw 1 pt 4 t 'default, sox reverb 80', \
     bysnr('room', 'strong') w lp lw 2 dt 3 pt 10 t 'room, strong room', \
     bysnr('room', 'sox60') w lp lw 1 dt 3 pt 11 t 'room, sox reverb 60', \
     bysnr('room', 'sox80') w lp lw 1 dt 3 pt 12 t 'room, sox reverb 80'
unset multiplot
