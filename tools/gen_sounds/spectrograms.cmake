# cmake -DSOX=<sox> -DDIR=<folder> -P spectrograms.cmake
# Draws a spectrogram PNG next to every WAV in DIR and prints sox's statistics.
file(GLOB wavs ${DIR}/*.wav)
foreach(wav ${wavs})
  get_filename_component(stem ${wav} NAME_WE)
  execute_process(COMMAND ${SOX} ${wav} -n spectrogram -x 1000 -y 257 -t ${stem}
                          -o ${DIR}/${stem}.png)
  execute_process(COMMAND ${SOX} ${wav} -n stat ERROR_VARIABLE stat)
  message(STATUS "${stem}\n${stat}")
endforeach()
